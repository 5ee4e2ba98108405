// The classic faults of Modbus masters, each pinned by name in both framings: a byte count
// that claims more than the frame holds or disagrees with the quantity, exception frames of
// every length, answers for another slave or function, and frames cut anywhere.
#include "tests/modbus/LineFixture.h"

namespace {

class AnswerFaultTest : public LineTest, public ::testing::WithParamInterface<std::uint16_t> {
protected:
    void SetUp() override { OpenLine(GetParam()); }
    bool Ascii() const { return GetParam() == 1; }
    // The message framed the way this test's mode puts it on the line.
    Bytes Framed(const Bytes& message) const {
        return Ascii() ? AsciiFramed(message) : WithCrc(message);
    }
};

const Bytes kGoodOne{0x01, 0x03, 0x02, 0x12, 0x34};

}  // namespace

TEST_P(AnswerFaultTest, ByteCountLargerThanTheFrameIsNeverUsed) {
    // The expected length decides what is read and unpacked; the count is not trusted.
    port.Answer(Framed({0x01, 0x03, 0xFF, 0x12, 0x34}));
    EXPECT_EQ(ReadOne(), 0);
    EXPECT_EQ(values, WordArray{0x1234});

    ByteArray states(8, 9);
    port.Answer(Framed({0x01, 0x01, 0xFF, 0xA5}));
    EXPECT_EQ(master.ReadCoils(1, 0, 8, states), 0);
    EXPECT_EQ(states, (ByteArray{1, 0, 1, 0, 0, 1, 0, 1}));

    // An open length takes what came, never the count.
    port.Answer(Framed({0x01, 0x03, 0xFF, 0x01, 0x02}));
    ByteArray response;
    std::uint16_t received = 0;
    EXPECT_EQ(Exchange(0, response, &received), 0);
    EXPECT_EQ(received, 5);
    EXPECT_EQ(ByteArray(response.begin(), response.begin() + 5),
              (ByteArray{0x01, 0x03, 0xFF, 0x01, 0x02}));
}

TEST_P(AnswerFaultTest, ByteCountNotMatchingTheQuantity) {
    struct Case {
        const char* name;
        Bytes message;
        std::uint16_t code;
        WordArray values;
    };
    const Case cases[] = {
        {"two registers for one", {0x01, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78}, 3, {0}},
        {"no register for one", {0x01, 0x03, 0x00}, 3, {0}},
        {"half a register", {0x01, 0x03, 0x01, 0x12}, 3, {0}},
        {"count says two, one came", {0x01, 0x03, 0x04, 0x12, 0x34}, 0, {0x1234}},
        {"count says none, one came", {0x01, 0x03, 0x00, 0x12, 0x34}, 0, {0x1234}},
    };
    for (const Case& c : cases) {
        port.Answer(Framed(c.message));
        values = {7};
        EXPECT_EQ(ReadOne(), c.code) << c.name;
        EXPECT_EQ(values, c.values) << c.name;
    }
    port.Answer(Framed(kGoodOne));
    EXPECT_EQ(ReadOne(), 0);
}

TEST_P(AnswerFaultTest, ExceptionFramesOfEveryLength) {
    // RTU: an exception needs its three bytes and their CRC; what follows is not looked at.
    // ASCII: the decoded message needs the address, the function and the code.
    const Bytes exception{0x01, 0x83, 0x02};
    const Bytes full = Ascii() ? AsciiFramed(exception) : WithCrc(exception);
    for (std::size_t length = 1; length <= 8; ++length) {
        Bytes answer;
        std::uint16_t code = 3;
        if (Ascii()) {
            const Bytes longest{0x01, 0x83, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
            answer = AsciiFramed(Bytes(longest.begin(), longest.begin() + length));
            code = length >= 3 ? 0x8002 : 3;
        } else {
            answer = full;
            answer.resize(length, 0x00);
            code = length >= 5 ? 0x8002 : 3;
        }
        port.Answer(answer);
        values = {7};
        EXPECT_EQ(ReadOne(), code) << length;
        EXPECT_EQ(values, WordArray{0}) << length;
    }
    // Every exception code reaches the caller, a broken check never does.
    for (int n = 0; n <= 0xFF; n += 0x33) {
        const Bytes message{0x01, 0x83, static_cast<std::uint8_t>(n)};
        port.Answer(Framed(message));
        EXPECT_EQ(ReadOne(), 0x8000 + n);
        Bytes broken = Framed(message);
        broken[broken.size() - (Ascii() ? 3 : 1)] ^= 0x01;
        port.Answer(broken);
        EXPECT_EQ(ReadOne(), 3) << n;
    }
}

TEST_P(AnswerFaultTest, AnswerForAnotherSlaveOrFunction) {
    const Bytes reads[] = {
        {0x02, 0x03, 0x02, 0x12, 0x34},  // another slave
        {0x00, 0x03, 0x02, 0x12, 0x34},  // the broadcast address
        {0x01, 0x04, 0x02, 0x12, 0x34},  // input registers for holding registers
        {0x01, 0x80, 0x02, 0x12, 0x34},  // 0x80 is not an exception
        {0x01, 0x06, 0x02, 0x12, 0x34},
    };
    for (const Bytes& message : reads) {
        port.Answer(Framed(message));
        values = {7};
        EXPECT_EQ(ReadOne(), 2) << int(message[0]) << " " << int(message[1]);
        EXPECT_EQ(values, WordArray{0});
    }

    ByteArray states(8, 9);
    port.Answer(Framed({0x02, 0x01, 0x01, 0xFF}));
    EXPECT_EQ(master.ReadCoils(1, 0, 8, states), 2);
    EXPECT_EQ(states, ByteArray(8, 9)) << "a refused bit read keeps the states";
    port.Answer(Framed({0x01, 0x02, 0x01, 0xFF}));
    EXPECT_EQ(master.ReadCoils(1, 0, 8, states), 2);

    port.Answer(Framed({0x02, 0x06, 0x00, 0x05, 0x12, 0x34}));
    EXPECT_EQ(master.PresetSingleRegister(1, 5, 0x1234), 2);
    port.Answer(Framed({0x01, 0x05, 0x00, 0x05, 0x12, 0x34}));
    EXPECT_EQ(master.PresetSingleRegister(1, 5, 0x1234), 2);
    port.Answer(Framed({0x01, 0x06, 0x00, 0x05, 0x12, 0x34}));
    EXPECT_EQ(master.PresetSingleRegister(1, 5, 0x1234), 0);
}

TEST_P(AnswerFaultTest, FrameCutAnywhere) {
    Bytes message{0x01, 0x03, 0x14};
    for (std::uint8_t i = 0; i < 20; ++i) {
        message.push_back(static_cast<std::uint8_t>(0x10 + i));
    }
    const Bytes whole = Framed(message);
    WordArray ten(10, 0);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        port.Answer(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
        ten.assign(10, 7);
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 10, ten), cut == 0 ? 1 : 3) << cut;
        EXPECT_EQ(ten, WordArray(10, 0)) << cut;
    }
    // Nothing of the cut frames lingers: the next whole answer reads clean.
    port.Answer(whole);
    ASSERT_EQ(master.ReadHoldingRegisters(1, 0, 10, ten), 0);
    EXPECT_EQ(ten[0], 0x1011);
    EXPECT_EQ(ten[9], 0x2223);
}

INSTANTIATE_TEST_SUITE_P(Modes, AnswerFaultTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Rtu" : "Ascii"; });
