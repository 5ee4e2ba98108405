#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "PtyPair.h"
#include "lines/BitRate.h"
#include "lines/PosixSerialPort.h"

namespace {

// A pseudo-terminal takes any rate, standing in for a driver that can do them all.
TEST(SerialBitRateTest, RatesOutsideTheTermiosTableAreSetAndReadBackOthersRefused) {
    PtyPair pty;
    CPosixSerialPort port;
    ASSERT_TRUE(pty.Ok() && port.Open(pty.Path())) << port.LastError();
    // 9600 last: a standard rate after an exact one must not keep the exact one's input rate.
    for (std::uint32_t rate : {460800u, 250000u, 4000000u, 9600u}) {
        ASSERT_TRUE(port.SetLine(MasterDcb(rate))) << rate << ": " << port.LastErrorText();
        LineBitRate set;
        ASSERT_EQ(ReadBitRate(pty.Slave(), set), 0);
        EXPECT_EQ(set.output, rate);
        EXPECT_EQ(set.input, rate);
    }
    for (std::uint32_t rate : {0u, 4000001u}) {
        EXPECT_FALSE(port.SetLine(MasterDcb(rate)));
        EXPECT_EQ(port.LastError(), EINVAL);
        EXPECT_EQ(port.LastErrorText(), pty.Path() + " cannot run at " + std::to_string(rate) +
                                            " bit/s (1 to 4000000 bit/s)");
    }
}

TEST(BitRateMismatchTest, ARateTheDriverRoundedFarOffIsRefused) {
    const struct {
        std::uint32_t asked;
        LineBitRate set;
        const char* took;  // what the refusal names; nullptr: taken
    } cases[] = {{250000, {230400, 230400}, "230400"},
                 {9600, {9600, 4800}, "4800"},
                 {100000, {102001, 0}, "102001"},
                 {100000, {102000, 0}, nullptr}};
    for (const auto& c : cases) {
        const std::string why = "the driver of /dev/ttyUSB0 does not take " +
                                std::to_string(c.asked) + " bit/s (it set " +
                                (c.took ? c.took : "") + ")";
        EXPECT_EQ(BitRateMismatch("/dev/ttyUSB0", c.asked, c.set), c.took ? why : std::string())
            << c.asked;
    }
}

}  // namespace
