// The trace wraps whichever port opens, so each port's tooltip says why it is not written.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/PortTooltip.h"

TEST(PortTooltipTest, NamesTheTraceAndWhyItIsNotWritten) {
    const std::string fifo = ::testing::TempDir() + "vornak-tip-" + std::to_string(::getpid());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::setenv("VORNAK_COM1", "/dev/null", 1);
    ::setenv("VORNAK_TRACE", fifo.c_str(), 1);
    EXPECT_EQ(PortTooltip(1), QStringLiteral("COM1 → /dev/null (VORNAK_COM1, present, traced to "
                                             "%1, not written: is a FIFO, not a regular file)")
                                  .arg(QString::fromStdString(fifo)));
    ::unsetenv("VORNAK_TRACE");
    ::unsetenv("VORNAK_COM1");
    ::unlink(fifo.c_str());
}
