#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>

#include "PtyPair.h"
#include "lines/PosixSerialPort.h"

namespace {

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        ASSERT_TRUE(port.Open(pty.Path())) << port.LastError();
    }

    termios LineSettings() const {
        termios tio{};
        EXPECT_EQ(::tcgetattr(pty.Slave(), &tio), 0);
        return tio;
    }

    PtyPair pty;
    CPosixSerialPort port;
};

TEST_F(SerialLineTest, EveryByteValuePassesUntouchedBothWays) {
    ASSERT_TRUE(port.SetLine(MasterDcb(9600)));
    SerialTimeouts t;
    t.ReadTotalTimeoutConstant = 2000;
    ASSERT_TRUE(port.SetTimeouts(t));
    const std::vector<std::uint8_t> all = AllByteValues();

    std::uint32_t written = 0;
    ASSERT_TRUE(port.Write(all.data(), 256, &written));
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(pty.Receive(256, 2000), all);

    pty.Send(all);
    std::vector<std::uint8_t> in(256);
    std::uint32_t received = 0;
    ASSERT_TRUE(port.Read(in.data(), 256, &received));
    ASSERT_EQ(received, 256u);
    EXPECT_EQ(in, all);

    // The characters a cooked line would eat or translate, alone and in a row.
    const std::vector<std::uint8_t> special = {0x0D, 0x0A, 0x11, 0x13, 0x03, 0x1A, 0x7F, 0x0D};
    pty.Send(special);
    std::vector<std::uint8_t> back(special.size());
    ASSERT_TRUE(port.Read(back.data(), static_cast<std::uint32_t>(back.size()), &received));
    EXPECT_EQ(received, special.size());
    EXPECT_EQ(back, special);
}

TEST_F(SerialLineTest, OpenAloneLeavesTheLineRaw) {
    // Settings a previous user of the device may have left behind.
    ASSERT_TRUE(port.Close());
    termios cooked = LineSettings();
    cooked.c_iflag |= ICRNL | IXON | IXOFF | IGNPAR | IUCLC | INPCK;
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cooked.c_oflag |= OPOST;
    cooked.c_cflag |= CRTSCTS;
    ASSERT_EQ(::tcsetattr(pty.Slave(), TCSANOW, &cooked), 0);
    ASSERT_TRUE(port.Open(pty.Path()));

    const termios tio = LineSettings();
    EXPECT_EQ(tio.c_iflag & (IGNPAR | IUCLC), 0u);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP | INPCK), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
}

TEST_F(SerialLineTest, LineRecordMapsOntoTermios) {
    ASSERT_TRUE(port.SetLine(MasterDcb(19200, kParityOdd, 8, kStopBitsTwo, 0)));
    termios tio = LineSettings();
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B19200));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
    EXPECT_NE(tio.c_cflag & PARODD, 0u);
    // fParity 0: the parity bit is sent but nothing checks it on input.
    EXPECT_EQ(tio.c_iflag & INPCK, 0u);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);

    ASSERT_TRUE(port.SetLine(MasterDcb(115200, kParityEven, 8, kStopBitsOneHalf, 2 | 4)));
    tio = LineSettings();
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u) << "1.5 stop bits become 2";
    EXPECT_EQ(tio.c_cflag & PARODD, 0u);
    EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(tio.c_iflag & IXON, 0u);
    EXPECT_NE(tio.c_iflag & IXOFF, 0u);
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);

    SerialDcb checked = MasterDcb(1200, kParityEven, 8, kStopBitsOne, 1);
    checked.fParity = 1;
    ASSERT_TRUE(port.SetLine(checked));
    tio = LineSettings();
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B1200));
    EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(tio.c_iflag & INPCK, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    // A pseudo-terminal always keeps CS8 without PARENB, so size and parity enable cannot be
    // read back here.
}

TEST_F(SerialLineTest, EveryMasterBitRateIsAcceptedAndOthersAreRefused) {
    for (std::uint32_t baud : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
        EXPECT_TRUE(port.SetLine(MasterDcb(baud))) << baud;
    }
    for (std::uint32_t baud : {0u, 4000001u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(port.SetLine(MasterDcb(baud))) << baud;
        EXPECT_EQ(port.LastError(), EINVAL);
    }
    for (std::uint8_t bits : {5, 6, 7, 8}) {
        EXPECT_TRUE(port.SetLine(MasterDcb(9600, kParityNone, bits))) << int(bits);
    }
    // The ASCII mode's usual 7 bits with even parity; a pseudo-terminal cannot frame them
    // but must not refuse the line either.
    EXPECT_TRUE(port.SetLine(MasterDcb(9600, kParityEven, 7))) << port.LastError();
    EXPECT_TRUE(port.SetLine(MasterDcb(9600, kParityOdd, 7, kStopBitsTwo, 7)));
    EXPECT_FALSE(port.SetLine(MasterDcb(9600, kParityNone, 9)));
    EXPECT_FALSE(port.SetLine(MasterDcb(9600, kParityNone, 0)));
    EXPECT_FALSE(port.SetLine(MasterDcb(9600, 3)));
    EXPECT_FALSE(port.SetLine(MasterDcb(9600, kParityNone, 8, 3)));
    EXPECT_EQ(port.LastError(), EINVAL);
    // A refused record leaves the line as it was.
    ASSERT_TRUE(port.SetLine(MasterDcb(57600)));
    EXPECT_FALSE(port.SetLine(MasterDcb(4000001)));
    const termios tio = LineSettings();
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialLineTest, QueueCountsFollowTheFarEnd) {
    SerialStatus status;
    std::uint32_t errors = 0xFFFF;
    ASSERT_TRUE(port.ClearError(&errors, &status));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(status.cbInQue, 0u);
    EXPECT_EQ(status.cbOutQue, 0u);

    pty.Send({1, 2, 3, 4, 5});
    ASSERT_TRUE(WaitForInQueue(port, 5));
    ASSERT_TRUE(port.ClearError(&errors, &status));
    EXPECT_EQ(status.cbInQue, 5u);

    SerialTimeouts atOnce;
    atOnce.ReadIntervalTimeout = kReadAtOnce;
    ASSERT_TRUE(port.SetTimeouts(atOnce));
    std::uint8_t buf[8];
    std::uint32_t received = 0;
    ASSERT_TRUE(port.Read(buf, 2, &received));
    EXPECT_EQ(received, 2u);
    ASSERT_TRUE(port.ClearError(nullptr, &status));
    EXPECT_EQ(status.cbInQue, 3u);
    // One byte at a time, in order, the count going down with each.
    for (std::uint8_t expected = 3; expected <= 5; ++expected) {
        ASSERT_TRUE(port.Read(buf, 1, &received));
        ASSERT_EQ(received, 1u);
        EXPECT_EQ(buf[0], expected);
        ASSERT_TRUE(port.ClearError(nullptr, &status));
        EXPECT_EQ(status.cbInQue, 5u - expected);
    }
    // Errors alone may be asked for.
    EXPECT_TRUE(port.ClearError(&errors, nullptr));
}

TEST_F(SerialLineTest, PurgeEmptiesTheReceiveQueue) {
    SerialTimeouts atOnce;
    atOnce.ReadIntervalTimeout = kReadAtOnce;
    ASSERT_TRUE(port.SetTimeouts(atOnce));
    std::uint8_t buf[16];
    std::uint32_t received = 0;

    for (std::uint32_t flags : {kPurgeAll, kPurgeRxClear, kPurgeRxAbort}) {
        pty.Send({9, 8, 7, 6});
        ASSERT_TRUE(WaitForInQueue(port, 4));
        // What a one-byte read took from the line ahead of the caller goes too.
        ASSERT_TRUE(port.Read(buf, 1, &received));
        ASSERT_EQ(received, 1u);
        ASSERT_TRUE(port.Purge(flags)) << flags;
        SerialStatus status;
        ASSERT_TRUE(port.ClearError(nullptr, &status));
        EXPECT_EQ(status.cbInQue, 0u) << flags;
        ASSERT_TRUE(port.Read(buf, sizeof buf, &received));
        EXPECT_EQ(received, 0u) << flags;
    }

    // Purging the transmit side only keeps what has been received.
    pty.Send({1, 2});
    ASSERT_TRUE(WaitForInQueue(port, 2));
    ASSERT_TRUE(port.Purge(kPurgeTxAbort | kPurgeTxClear));
    ASSERT_TRUE(port.Read(buf, sizeof buf, &received));
    EXPECT_EQ(received, 2u);

    // The line keeps working after a purge.
    pty.Send({0x42});
    ASSERT_TRUE(WaitForInQueue(port, 1));
    ASSERT_TRUE(port.Read(buf, sizeof buf, &received));
    ASSERT_EQ(received, 1u);
    EXPECT_EQ(buf[0], 0x42);
}

TEST_F(SerialLineTest, QueueSizesAreAcceptedWhileOpen) {
    EXPECT_TRUE(port.SetQueueSizes(1024, 1024));
    ASSERT_TRUE(port.Close());
    EXPECT_FALSE(port.SetQueueSizes(1024, 1024));
    EXPECT_EQ(port.LastError(), EBADF);
}

}  // namespace
