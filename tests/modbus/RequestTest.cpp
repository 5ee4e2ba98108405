#include "tests/modbus/LineFixture.h"

namespace {

class RequestTest : public LineTest {
protected:
    void SetUp() override { OpenLine(0); }
    Bytes Sent() const { return Bytes(port.writes.back().begin(), port.writes.back().end() - 2); }
};

// A master whose exchange hands out canned results, for the cycle's own rules.
class CannedMaster : public CModbus {
public:
    std::vector<std::pair<std::uint16_t, ByteArray>> results;
    int exchanges = 0;

    explicit CannedMaster(std::uint16_t tries) { m_wTries = tries; }
    std::uint16_t Transact(ByteArray&, std::uint16_t, ByteArray& response, std::uint16_t,
                           std::uint16_t*) override {
        const auto& [code, answer] = results.at(static_cast<std::size_t>(exchanges++));
        response = answer;
        return code;
    }
    bool IsPortOpen() const override { return true; }
};

}  // namespace

TEST_F(RequestTest, BitReadsUnpackLeastSignificantBitFirst) {
    port.Answer(WithCrc({0x01, 0x01, 0x02, 0b10100101, 0b00000010}));
    ByteArray states(10, 9);
    EXPECT_EQ(master.ReadCoils(1, 0x0013, 10, states), 0);
    EXPECT_EQ(Sent(), (Bytes{0x01, 0x01, 0x00, 0x13, 0x00, 0x0A}));
    EXPECT_EQ(states, (ByteArray{1, 0, 1, 0, 0, 1, 0, 1, 0, 1}));  // 8 and 9 from byte 4

    port.Answer(WithCrc({0x07, 0x02, 0x01, 0x03}));
    states.resize(1);  // too small an array grows
    EXPECT_EQ(master.ReadDiscreteInputs(7, 0x0102, 3, states), 0);
    EXPECT_EQ(Sent(), (Bytes{0x07, 0x02, 0x01, 0x02, 0x00, 0x03}));
    EXPECT_EQ(states, (ByteArray{1, 1, 0}));
}

TEST_F(RequestTest, RegisterReads) {
    port.Answer(WithCrc({0x07, 0x04, 0x04, 0x00, 0x01, 0xFF, 0xFE}));
    values.clear();  // too small an array grows
    EXPECT_EQ(master.ReadInputRegisters(7, 0xABCD, 2, values), 0);
    EXPECT_EQ(Sent(), (Bytes{0x07, 0x04, 0xAB, 0xCD, 0x00, 0x02}));
    EXPECT_EQ(values, (WordArray{0x0001, 0xFFFE}));

    port.Answer(WithCrc({0x01, 0x03, 0x00}));
    values = {9, 9};
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 0, values), 0);  // exchanged, nothing unpacked
    EXPECT_EQ(values, (WordArray{0, 0}));
}

TEST_F(RequestTest, WrongSlaveOrFunctionZeroesRegistersKeepsBits) {
    for (const Bytes& answer : {Bytes{0x02, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78},
                                Bytes{0x01, 0x04, 0x04, 0x12, 0x34, 0x56, 0x78}}) {
        port.Answer(WithCrc(answer));
        values = {5, 6, 7};
        EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), 2);
        EXPECT_EQ(values, (WordArray{0, 0, 0}));  // zeros, size unchanged
    }
    ByteArray states{0, 1, 0};
    for (const Bytes& answer : {Bytes{0x02, 0x01, 0x01, 0xFF}, Bytes{0x01, 0x02, 0x01, 0xFF}}) {
        port.Answer(WithCrc(answer));
        EXPECT_EQ(master.ReadCoils(1, 0, 3, states), 2);
        EXPECT_EQ(states, (ByteArray{0, 1, 0}));
    }
    EXPECT_EQ(master.ReadCoils(1, 0, 3, states), 1);
    EXPECT_EQ(states, (ByteArray{0, 1, 0}));
}

TEST_F(RequestTest, SingleWritesAndTheirEcho) {
    for (const auto& [state, data] : {std::pair<std::uint16_t, std::uint8_t>{2, 0x00},
                                      {1, 0xFF},
                                      {0xFF00, 0x00}}) {  // only 1 means on
        const Bytes echo{0x01, 0x05, 0x00, 0x05, data, 0x00};
        port.Answer(WithCrc(echo));
        EXPECT_EQ(master.PresetSingleCoil(1, 5, state), 0) << state;
        EXPECT_EQ(Sent(), echo) << state;
    }
    port.Answer(WithCrc({0x11, 0x06, 0x00, 0x01, 0x0F, 0xA0}));
    EXPECT_EQ(master.PresetSingleRegister(0x11, 1, 4000), 0);
    EXPECT_EQ(Sent(), (Bytes{0x11, 0x06, 0x00, 0x01, 0x0F, 0xA0}));
    for (const Bytes& echo :
         {Bytes{0x11, 0x06, 0x00, 0x01, 0x0F, 0xA1}, Bytes{0x11, 0x06, 0x00, 0x02, 0x0F, 0xA0},
          Bytes{0x12, 0x06, 0x00, 0x01, 0x0F, 0xA0}}) {
        port.Answer(WithCrc(echo));
        EXPECT_EQ(master.PresetSingleRegister(0x11, 1, 4000), 2);
    }
}

TEST(RequestCycle, TriesAndShortAnswers) {
    WordArray values(1);
    CannedMaster once(1);
    once.results = {{1, {}}, {0, {1, 3, 2, 0, 7}}};
    EXPECT_EQ(once.ReadHoldingRegisters(1, 0, 1, values), 1);
    EXPECT_EQ(once.exchanges, 1);

    CannedMaster thrice(3);  // the last try's code counts
    thrice.results = {{3, {}}, {0, {9, 3, 2, 0, 7}}, {0, {1, 3, 2, 0, 7}}};
    EXPECT_EQ(thrice.ReadHoldingRegisters(1, 0, 1, values), 0);
    EXPECT_EQ(thrice.exchanges, 3);
    EXPECT_EQ(values, WordArray{7});

    CannedMaster twice(2);
    twice.results = {{9, {}}, {0x8001, {}}};
    EXPECT_EQ(twice.ReadHoldingRegisters(1, 0, 1, values), 0x8001);
    EXPECT_EQ(values, WordArray{0});

    CannedMaster tooShort(1);  // a "success" too short to unpack
    tooShort.results = {{0, {1, 3, 2}}, {0, {1, 6, 0, 1}}};
    EXPECT_EQ(tooShort.ReadHoldingRegisters(1, 0, 1, values), 2);
    EXPECT_EQ(tooShort.PresetSingleRegister(1, 1, 2), 2);
}
