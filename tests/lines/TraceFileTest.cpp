// The frame trace's file against what a shared directory may hold at its path, and a disk that
// fills: refused with the reason, nobody else's file written, a failure told once.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "lines/TraceFile.h"

namespace {

std::string Content(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string FreshDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + name + std::to_string(::getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir + "/directory");
    return dir;
}

TEST(TraceFileTest, OnlyARegularFileIsWrittenAndRotationFollowsNoLink) {
    const std::string dir = FreshDir("vornak-trace-kinds-");
    const std::string victim = dir + "/victim";
    std::ofstream(victim) << "keep\n";
    std::filesystem::create_symlink(victim, dir + "/link");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    const std::pair<std::string, std::string> refused[] = {
        {"/link", "is a symbolic link, not a regular file"},
        {"/fifo", "is a FIFO, not a regular file"},
        {"/directory", "is a directory, not a regular file"},
        {"/missing/trace", "No such file or directory"},
    };
    for (const auto& [name, reason] : refused) {
        SCOPED_TRACE(name);
        CTraceFile file(dir + name);
        file.Append("line");
        EXPECT_FALSE(file.Flush());
        EXPECT_EQ(file.Problem(), reason);
        EXPECT_EQ(TraceProblem(dir + name), reason);
    }
    // FILE.1 a link to someone's file: the rotation replaces the link, it does not write there.
    std::filesystem::create_symlink(victim, dir + "/trace.1");
    {
        CTraceFile file(dir + "/trace", 8);
        file.Append("0123456789");
        EXPECT_TRUE(file.Flush());
        EXPECT_EQ(file.Problem(), "");
    }
    EXPECT_EQ(Content(victim), "keep\n");
    EXPECT_EQ(Content(dir + "/trace.1"), "0123456789\n");
    EXPECT_FALSE(std::filesystem::is_symlink(dir + "/trace.1"));
    struct stat st {};
    ASSERT_EQ(::stat((dir + "/trace").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::filesystem::remove_all(dir);
}

TEST(TraceFileTest, AFailedWriteIsToldOnceAndIsTheStateUntilAWriteGoesThrough) {
    const std::string dir = FreshDir("vornak-trace-full-");
    const std::string path = dir + "/trace";
    std::vector<std::string> told;
    SetTraceReporter([&told](const std::string& p, const std::string& reason) {
        told.push_back(p + ": " + reason);
    });
    CTraceFile file(path);
    // A file size limit stands in for a full disk: the first write is cut, the next refused.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 0; i < 2; ++i) {
        file.Append("0123456789");
        EXPECT_FALSE(file.Flush());
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(told, std::vector<std::string>{path + ": write failed: File too large"});
    EXPECT_EQ(TraceProblem(path), "write failed: File too large");
    file.Append("abc");
    EXPECT_TRUE(file.Flush());
    EXPECT_EQ(TraceProblem(path), "");
    EXPECT_EQ(Content(path), "0123abc\n");
    SetTraceReporter({});
    std::filesystem::remove_all(dir);
}

}  // namespace
