#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "lines/PortMapFile.h"
#include "platform/IniFile.h"
#include "platform/ProfilePath.h"

namespace {

namespace fs = std::filesystem;

// A fresh XDG_CONFIG_HOME for one test, and the settings file in it.
struct ConfigHome {
    ConfigHome() {
        fs::create_directories(dir + "/Quorvix");
        ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    }
    ~ConfigHome() {
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir);
    }
    void Write(const std::string& bytes) const { std::ofstream(file, std::ios::binary) << bytes; }
    std::string Read() const {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Files in the folder; a temporary file left behind counts.
    long Files() const {
        return std::distance(fs::directory_iterator(dir + "/Quorvix"), fs::directory_iterator());
    }
    const std::string dir = "/tmp/vornak-ini-" + std::to_string(::getpid());
    const std::string file = dir + "/Quorvix/Vornak.ini";
};

}  // namespace

// Each row: the file as a person left it, then as a save leaves it once "Scan Time" is 250
// and "Salve ID" is 7, with its permissions and no temporary file behind.
TEST(IniFile, SaveOfAHandEditedFileChangesOnlyItsValues) {
    const std::pair<std::string, std::string> cases[] = {
        // Comments, blanks, unknown keys, words without '=', an unclosed section (which still
        // ends the one before); a new key after the last entry of its section.
        {"# mine\n[Main Env]\nwords\nCOM Port=2\n\n; map\n[Port Map\nCOM1=/dev/x\n[ModBus Env]\n"
         "# note\nSalve ID=1\nMine=x\n",
         "# mine\n[Main Env]\nwords\nCOM Port=2\nScan%20Time=250\n\n; map\n[Port Map\nCOM1=/dev/x\n"
         "[ModBus Env]\n# note\nSalve ID=7\nMine=x\n"},
        // Byte-order mark, CR LF, letter case, escapes, blanks around '=', no final line end.
        {"\xEF\xBB\xBF[MAIN ENV]\r\nscan time = 1\r\n[modbus%20env]\r\nRead Quan=8",
         "\xEF\xBB\xBF[MAIN ENV]\r\nscan time = 250\r\n[modbus%20env]\r\nRead Quan=8\r\n"
         "Salve%20ID=7\r\n"},
        {"", "[Main%20Env]\nScan%20Time=250\n\n[ModBus%20Env]\nSalve%20ID=7\n"},
    };
    for (const auto& [before, after] : cases) {
        SCOPED_TRACE(before);
        ConfigHome home;
        home.Write(before);
        ::chmod(home.file.c_str(), 0640);
        CIniFile ini(home.file);
        ASSERT_TRUE(ini.Load());
        ini.SetValue("Main Env", "Scan Time", "250");
        ini.SetValue("ModBus Env", "Salve ID", "7");
        ASSERT_TRUE(ini.Save()) << ini.LastError();
        EXPECT_EQ(home.Read(), after);
        struct stat st {};
        ASSERT_EQ(::stat(home.file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(home.Files(), 1);
    }
}

// A failed save leaves the file as it was and no temporary file behind.
TEST(IniFile, FailedSaveKeepsTheFileWhole) {
    ConfigHome home;
    const std::string before = "# mine\n[Main Env]\nScan Time=1\n";
    home.Write(before);
    CIniFile ini(home.file);
    ASSERT_TRUE(ini.Load());
    ini.SetValue("Main Env", "Scan Time", std::string(4096, '9'));

    // The disk fills up in mid-write: the file-size limit fails the write as ENOSPC would,
    // and it binds root too.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{1024, old.rlim_max};
    ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = ini.Save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ini.LastError(), EFBIG);
    EXPECT_EQ(home.Read(), before);
    EXPECT_EQ(home.Files(), 1);
}

// A file that cannot be read loads as nothing, says why and is never replaced; a link to
// nothing counts as one, since its owner keeps the real file elsewhere. (An oversized file is
// the scanner's and vornak-poll's case.)
TEST(IniFile, UnreadableFileSaysWhyAndIsNotReplaced) {
    using Make = std::function<void(const std::string&)>;
    const std::tuple<std::string, Make, std::string> cases[] = {
        {"directory", [](auto& f) { fs::create_directory(f); }, "Is a directory (errno 21)"},
        {"link", [](auto& f) { fs::create_symlink("/nonexistent/Vornak.ini", f); },
         "a symbolic link to /nonexistent/Vornak.ini, which does not exist"},
        {"mode 000", [](auto& f) { std::ofstream(f).close(), ::chmod(f.c_str(), 0); },
         "Permission denied (errno 13)"},
    };
    for (const auto& [name, make, why] : cases) {
        if (name == "mode 000" && ::geteuid() == 0)
            continue;  // root reads it all the same; the other rows stand for it
        SCOPED_TRACE(name);
        ConfigHome home;
        make(home.file);
        const fs::file_type type = fs::symlink_status(home.file).type();
        auto size = [&] { return fs::is_regular_file(home.file) ? fs::file_size(home.file) : 0; };
        const std::uintmax_t before = size();
        CIniFile ini(home.file);
        EXPECT_FALSE(ini.Load());
        EXPECT_EQ(ini.ErrorText(), why);
        ini.SetValue("Main Env", "Scan Time", "250");
        EXPECT_FALSE(ini.Save());
        EXPECT_EQ(fs::symlink_status(home.file).type(), type);
        EXPECT_EQ(size(), before);
        EXPECT_EQ(home.Files(), 1);
    }
}

// Whoever saves, a file without its owner's write permission stays as it was; a link stays a
// link and its target is replaced in its own folder; a link whose target went away after the
// load is refused, not replaced by a file.
TEST(IniFile, SaveHonoursTheModeAndFollowsTheLink) {
    ConfigHome home;
    const std::string real = home.dir + "/dotfiles/Vornak.ini";
    fs::create_directories(home.dir + "/dotfiles");
    std::ofstream(real) << "[Main Env]\nScan Time=1\n";
    fs::create_symlink(real, home.file);
    CIniFile ini(home.file);
    ASSERT_TRUE(ini.Load());
    ini.SetValue("Main Env", "Scan Time", "250");
    const std::tuple<mode_t, bool, std::string, std::string> cases[] = {
        {0444, false, "read-only (mode 0444), so it is left as it was", "1"},
        {0600, true, "", "250"},
        {0600, false, "a symbolic link to " + real + ", which does not exist", ""},
    };
    for (const auto& [mode, saved, why, value] : cases) {
        if (value.empty())
            fs::remove(real);
        ::chmod(real.c_str(), mode);
        EXPECT_EQ(ini.Save(), saved);
        EXPECT_EQ(ini.ErrorText(), why);
        EXPECT_TRUE(fs::is_symlink(home.file));
        EXPECT_EQ(home.Read(), value.empty() ? "" : "[Main Env]\nScan Time=" + value + "\n");
        EXPECT_EQ(home.Files() + std::distance(fs::directory_iterator(home.dir + "/dotfiles"), {}),
                  value.empty() ? 1 : 2);
    }
}

// Read anew at each call, names in any case or escaped, the value trimmed, an empty one unset;
// a relative XDG_CONFIG_HOME does not count.
TEST(IniFile, PortMapValues) {
    ConfigHome home;
    EXPECT_EQ(ReadPortMapValue("COM3"), std::nullopt);
    home.Write("[port%20map]\ncom3 =  /dev/ttyUSB0  \nCOM4=\n");
    EXPECT_EQ(ReadPortMapValue("COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(ReadPortMapValue("COM4"), std::nullopt);

    const std::string home0 = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(ProfilePath(), "/home/someone/.config/Quorvix/Vornak.ini");
    ::setenv("HOME", home0.c_str(), 1);
}
