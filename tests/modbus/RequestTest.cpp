#include "tests/modbus/LineFixture.h"

namespace {

class RequestTest : public LineTest {
protected:
    void SetUp() override { OpenLine(0); }
    Bytes Sent(std::size_t i = 0) const {
        const Bytes& frame = port.writes.at(i);
        return Bytes(frame.begin(), frame.end() - 2);  // without the check
    }
};

// A master whose exchange is a list of canned results, for the cycle's own rules.
class CannedMaster : public CModbus {
public:
    struct Result {
        std::uint16_t code;
        ByteArray response;
    };
    std::vector<Result> results;
    int exchanges = 0;

    explicit CannedMaster(std::uint16_t tries) { m_wTries = tries; }
    std::uint16_t Transact(ByteArray&, std::uint16_t, ByteArray& response, std::uint16_t,
                           std::uint16_t*) override {
        const Result& r = results.at(static_cast<std::size_t>(exchanges++));
        response = r.response;
        return r.code;
    }
    bool IsPortOpen() const override { return true; }
};

}  // namespace

TEST_F(RequestTest, ReadCoilsUnpacksLeastSignificantBitFirst) {
    port.Answer(WithCrc({0x01, 0x01, 0x02, 0b10100101, 0b00000010}));
    ByteArray states(10, 9);
    EXPECT_EQ(master.ReadCoils(1, 0x0013, 10, states), 0);
    EXPECT_EQ(Sent(), (Bytes{0x01, 0x01, 0x00, 0x13, 0x00, 0x0A}));
    EXPECT_EQ(states, (ByteArray{1, 0, 1, 0, 0, 1, 0, 1, 0, 1}));
}

TEST_F(RequestTest, DiscreteInputsAndInputRegistersUseTheirFunctions) {
    port.Answer(WithCrc({0x07, 0x02, 0x01, 0x01}));
    ByteArray states(3);
    EXPECT_EQ(master.ReadDiscreteInputs(7, 0x0102, 3, states), 0);
    EXPECT_EQ(Sent(0), (Bytes{0x07, 0x02, 0x01, 0x02, 0x00, 0x03}));
    EXPECT_EQ(states, (ByteArray{1, 0, 0}));

    port.Answer(WithCrc({0x07, 0x04, 0x04, 0x00, 0x01, 0xFF, 0xFE}));
    WordArray values(2);
    EXPECT_EQ(master.ReadInputRegisters(7, 0xABCD, 2, values), 0);
    EXPECT_EQ(Sent(1), (Bytes{0x07, 0x04, 0xAB, 0xCD, 0x00, 0x02}));
    EXPECT_EQ(values, (WordArray{0x0001, 0xFFFE}));
}

TEST_F(RequestTest, WrongSlaveOrFunctionZeroesRegistersKeepsCoils) {
    port.Answer(WithCrc({0x02, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78}));
    WordArray values{5, 6, 7};
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), 2);
    EXPECT_EQ(values, (WordArray{0, 0, 0}));  // zeros, size unchanged

    port.Answer(WithCrc({0x01, 0x04, 0x04, 0x12, 0x34, 0x56, 0x78}));
    values = {5, 6};
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), 2);
    EXPECT_EQ(values, (WordArray{0, 0}));

    port.Answer(WithCrc({0x02, 0x01, 0x01, 0xFF}));
    ByteArray states{0, 1, 0};
    EXPECT_EQ(master.ReadCoils(1, 0, 3, states), 2);
    EXPECT_EQ(states, (ByteArray{0, 1, 0}));
    port.Answer(WithCrc({0x01, 0x02, 0x01, 0xFF}));
    EXPECT_EQ(master.ReadCoils(1, 0, 3, states), 2);
    EXPECT_EQ(states, (ByteArray{0, 1, 0}));

    EXPECT_EQ(master.ReadCoils(1, 0, 3, states), 1);  // time-out keeps them too
    EXPECT_EQ(states, (ByteArray{0, 1, 0}));
}

TEST_F(RequestTest, SingleCoilStates) {
    port.Answer(WithCrc({0x01, 0x05, 0x00, 0x05, 0x00, 0x00}));
    EXPECT_EQ(master.PresetSingleCoil(1, 5, 2), 0);
    EXPECT_EQ(Sent(0), (Bytes{0x01, 0x05, 0x00, 0x05, 0x00, 0x00}));
    port.Answer(WithCrc({0x01, 0x05, 0x00, 0x05, 0xFF, 0x00}));
    EXPECT_EQ(master.PresetSingleCoil(1, 5, 1), 0);
    EXPECT_EQ(Sent(1), (Bytes{0x01, 0x05, 0x00, 0x05, 0xFF, 0x00}));
    port.Answer(WithCrc({0x01, 0x05, 0x00, 0x05, 0x00, 0x00}));
    EXPECT_EQ(master.PresetSingleCoil(1, 5, 0xFF00), 0);  // only 1 means on
    EXPECT_EQ(Sent(2), (Bytes{0x01, 0x05, 0x00, 0x05, 0x00, 0x00}));
}

TEST_F(RequestTest, SingleRegisterEcho) {
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

TEST_F(RequestTest, ZeroQuantityExchangesAndUnpacksNothing) {
    port.Answer(WithCrc({0x01, 0x03, 0x00}));
    WordArray values{9, 9};
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 0, values), 0);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(values, (WordArray{0, 0}));  // the scratch array's zeros
}

TEST_F(RequestTest, UndersizedCallerArraysGrow) {
    port.Answer(WithCrc({0x01, 0x03, 0x04, 0x12, 0x34, 0x56, 0x78}));
    WordArray values;
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), 0);
    EXPECT_EQ(values, (WordArray{0x1234, 0x5678}));

    port.Answer(WithCrc({0x01, 0x01, 0x01, 0x03}));
    ByteArray states(1);
    EXPECT_EQ(master.ReadCoils(1, 0, 2, states), 0);
    EXPECT_EQ(states, (ByteArray{1, 1}));
}

TEST(RequestCycle, TriesRepeatAndReturnTheLastCode) {
    CannedMaster once(1);
    once.results = {{1, {}}, {0, {1, 3, 2, 0, 7}}};
    WordArray values(1);
    EXPECT_EQ(once.ReadHoldingRegisters(1, 0, 1, values), 1);
    EXPECT_EQ(once.exchanges, 1);

    CannedMaster thrice(3);
    thrice.results = {{3, {}}, {0, {9, 3, 2, 0, 7}}, {0, {1, 3, 2, 0, 7}}};
    EXPECT_EQ(thrice.ReadHoldingRegisters(1, 0, 1, values), 0);
    EXPECT_EQ(thrice.exchanges, 3);
    EXPECT_EQ(values, WordArray{7});

    CannedMaster failing(2);
    failing.results = {{9, {}}, {0x8001, {}}};
    EXPECT_EQ(failing.ReadHoldingRegisters(1, 0, 1, values), 0x8001);
    EXPECT_EQ(values, WordArray{0});
}

TEST(RequestCycle, ShortSuccessfulAnswerIsInvalid) {
    CannedMaster master(1);
    master.results = {{0, {1, 3, 2}}, {0, {1, 6, 0, 1}}};
    WordArray values(2, 5);
    EXPECT_EQ(master.ReadHoldingRegisters(1, 0, 2, values), 2);
    EXPECT_EQ(values, (WordArray{0, 0}));
    EXPECT_EQ(master.PresetSingleRegister(1, 1, 2), 2);
}
