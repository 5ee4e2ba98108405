#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/PortMapFile.h"
#include "platform/ProfilePath.h"

namespace {

namespace fs = std::filesystem;

// A fresh XDG_CONFIG_HOME for one test.
class ConfigHome {
public:
    ConfigHome() {
        char pattern[] = "/tmp/vornak-ini-XXXXXX";
        m_dir = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
        fs::create_directory(Folder());
    }
    ~ConfigHome() {
        ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(m_dir);
    }
    std::string Folder() const { return m_dir + "/Quorvix"; }
    std::string File() const { return Folder() + "/Vornak.ini"; }

private:
    std::string m_dir;
};

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// What the folder holds; a temporary file left behind shows here.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    return names;
}

struct HandEdited {
    const char* what;
    std::string before;
    std::string after;           // once "Scan Time" is 250 and "Salve ID" is 7
    const char* com1 = nullptr;  // "Port Map" as read
};

}  // namespace

TEST(IniFile, SaveOfAHandEditedFileChangesOnlyItsValues) {
    const std::string added = "\n[ModBus%20Env]\nSalve%20ID=7\n";
    const HandEdited cases[] = {
        {"comments, blank lines, unknown keys",
         "# mine\n; also mine\n[Main Env]\nScan Time=1000\n\n[ModBus Env]\n# note\nSalve ID=1\n"
         "Mine=x\n",
         "# mine\n; also mine\n[Main Env]\nScan Time=250\n\n[ModBus Env]\n# note\nSalve ID=7\n"
         "Mine=x\n"},
        {"line without =", "[Main Env]\njust words\nScan Time=1\n",
         "[Main Env]\njust words\nScan Time=250\n" + added},
        {"unclosed section", "[Port Map\nCOM1=/dev/pts/3\n[Main Env]\nScan Time=1\n",
         "[Port Map\nCOM1=/dev/pts/3\n[Main Env]\nScan Time=250\n" + added, "/dev/pts/3"},
        {"byte-order mark, CR LF", "\xEF\xBB\xBF[Main Env]\r\nScan Time=1\r\n",
         "\xEF\xBB\xBF[Main Env]\r\nScan Time=250\r\n\r\n[ModBus%20Env]\r\nSalve%20ID=7\r\n"},
        {"letter case, escapes, blanks",
         "[MAIN ENV]\nscan time = 1\n[modbus%20env]\nSALVE%20id=3\n",
         "[MAIN ENV]\nscan time = 250\n[modbus%20env]\nSALVE%20id=7\n"},
        {"new keys after the last entry, no final line end",
         "[Main Env]\nCOM Port=2\n\n# map\n[Port Map]\nCOM1=/dev/x\n[ModBus Env]\nRead Quan=8",
         "[Main Env]\nCOM Port=2\nScan%20Time=250\n\n# map\n[Port Map]\nCOM1=/dev/x\n"
         "[ModBus Env]\nRead Quan=8\nSalve%20ID=7\n",
         "/dev/x"},
        {"empty file", "", "[Main%20Env]\nScan%20Time=250\n" + added},
    };
    for (const HandEdited& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigHome home;
        Write(home.File(), c.before);
        ::chmod(home.File().c_str(), 0640);
        CIniFile ini(home.File());
        ASSERT_TRUE(ini.Load());
        if (c.com1 != nullptr) {
            EXPECT_EQ(ini.GetValue("port map", "com1"), c.com1);
        }
        ini.SetValue("Main Env", "Scan Time", "250");
        ini.SetValue("ModBus Env", "Salve ID", "7");
        ASSERT_TRUE(ini.Save()) << ini.LastError();
        EXPECT_EQ(Read(home.File()), c.after);
        struct stat st {};
        ASSERT_EQ(::stat(home.File().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(Names(home.Folder()), std::vector<std::string>{"Vornak.ini"});
    }
}

// A failed save leaves the file as it was and no temporary file behind.
TEST(IniFile, FailedSaveKeepsTheFileWhole) {
    ConfigHome home;
    const std::string before = "# mine\n[Main Env]\nScan Time=1\n";
    Write(home.File(), before);
    CIniFile ini(home.File());
    ASSERT_TRUE(ini.Load());
    ini.SetValue("Main Env", "Scan Time", std::string(4096, '9'));

    // The disk fills up in mid-write: the file-size limit fails the write as ENOSPC would,
    // and it binds root too.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1024;
    ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = ini.Save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ini.LastError(), EFBIG);
    EXPECT_EQ(Read(home.File()), before);
    EXPECT_EQ(Names(home.Folder()), std::vector<std::string>{"Vornak.ini"});

    if (::geteuid() != 0) {  // root writes read-only files
        ::chmod(home.File().c_str(), 0444);
        EXPECT_FALSE(ini.Save());
        EXPECT_EQ(ini.LastError(), EACCES);
        EXPECT_EQ(Read(home.File()), before);
    }
}

TEST(IniFile, PortMapIsReadAnewAtEachCall) {
    ConfigHome home;
    EXPECT_EQ(ProfilePath(), home.File());
    EXPECT_EQ(ReadPortMapValue("COM3"), std::nullopt);  // no file yet
    Write(home.File(), "[port%20map]\ncom3 =  /dev/ttyUSB0  \nCOM4=\n");
    EXPECT_EQ(ReadPortMapValue("COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(ReadPortMapValue("COM4"), std::nullopt);
    Write(home.File(), "[Port Map]\nCOM3=\"/dev/odd,name\"\n");
    EXPECT_EQ(ReadPortMapValue("COM3"), "/dev/odd,name");

    const std::string home0 = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(ProfilePath(), "/home/someone/.config/Quorvix/Vornak.ini");
    ::setenv("HOME", home0.c_str(), 1);
}
