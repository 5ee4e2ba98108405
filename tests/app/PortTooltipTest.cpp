// The port tooltip carries the frame trace's state, since the trace wraps whichever port opens.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/PortTooltip.h"

namespace {

TEST(PortTooltipTest, NamesTheTraceAndWhyItIsNotWritten) {
    const std::string dir = ::testing::TempDir() + "vornak-tip-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    ::setenv("VORNAK_COM1", "/dev/null", 1);
    const std::pair<std::string, QString> cases[] = {
        {dir + "/trace", QString()},
        {dir + "/fifo", QStringLiteral(", not written: is a FIFO, not a regular file")},
    };
    for (const auto& [trace, state] : cases) {
        SCOPED_TRACE(trace);
        ::setenv("VORNAK_TRACE", trace.c_str(), 1);
        EXPECT_EQ(PortTooltip(1), QStringLiteral("COM1 → /dev/null (VORNAK_COM1, present, traced "
                                                 "to %1%2)")
                                      .arg(QString::fromStdString(trace), state));
    }
    ::unsetenv("VORNAK_TRACE");
    ::unsetenv("VORNAK_COM1");
    std::filesystem::remove_all(dir);
}

}  // namespace
