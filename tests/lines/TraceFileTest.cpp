// The frame trace's file on a disk that fills; what may sit at its path is vornak-poll's test.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "lines/TraceFile.h"

namespace {

TEST(TraceFileTest, AFailedWriteIsToldOnceAndIsTheStateUntilAWriteGoesThrough) {
    const std::string path =
        ::testing::TempDir() + "vornak-trace-full-" + std::to_string(::getpid());
    std::remove(path.c_str());
    std::vector<std::string> told;
    SetTraceReporter([&told](const std::string& p, const std::string& reason) {
        told.push_back(p + ": " + reason);
    });
    CTraceFile file(path);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // frames may carry plant data
    // A file size limit stands in for a full disk: the first write is cut, the next refused.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{4, old.rlim_max};
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
    std::ifstream kept(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "0123abc\n");
    SetTraceReporter({});
    std::remove(path.c_str());
}

}  // namespace
