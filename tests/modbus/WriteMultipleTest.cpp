#include "tests/modbus/LineFixture.h"

namespace {

struct WriteMultipleTest : LineTest {
    void SetUp() override { OpenLine(0); }
};

const WordArray kTwoValues{0x000A, 0x0102};
// Coils 0x13.. on, off, on, on, off, off, on, on, on, off; any nonzero byte is on.
const ByteArray kTenStates{1, 0, 0xFF, 1, 0, 0, 2, 1, 1, 0};

}  // namespace

TEST_F(WriteMultipleTest, RequestsOnTheWire) {
    port.Answer(WithCrc({0x11, 0x10, 0x00, 0x01, 0x00, 0x02}));
    EXPECT_EQ(master.PresetMultipleRegisters(0x11, 1, kTwoValues), kModbusOk);
    port.Answer(WithCrc({0x11, 0x0F, 0x00, 0x13, 0x00, 0x0A}));
    EXPECT_EQ(master.ForceMultipleCoils(0x11, 0x13, kTenStates), kModbusOk);
    EXPECT_EQ(port.writes,
              (std::vector<Bytes>{
                  {0x11, 0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02, 0xC6, 0xF0},
                  {0x11, 0x0F, 0x00, 0x13, 0x00, 0x0A, 0x02, 0xCD, 0x01, 0xBF, 0x0B}}));
}

// The echo of start and quantity only: other slaves, functions and frames fail alike for all.
TEST_F(WriteMultipleTest, AnswersThatDoNotEchoFail) {
    const std::tuple<Bytes, Bytes, std::uint16_t> rows[] = {
        {{0x11, 0x10, 0, 2, 0, 2}, {0x11, 0x0F, 0, 0x14, 0, 10}, kModbusInvalidResponse},  // start
        {{0x11, 0x10, 0, 1, 0, 3}, {0x11, 0x0F, 0, 0x13, 0, 11}, kModbusInvalidResponse},  // count
        {{0x11, 0x90, 0x02}, {0x11, 0x8F, 0x02}, kModbusException + 2}};
    for (const auto& [registers, coils, code] : rows) {
        port.Answer(WithCrc(registers));
        EXPECT_EQ(master.PresetMultipleRegisters(0x11, 1, kTwoValues), code);
        port.Answer(WithCrc(coils));
        EXPECT_EQ(master.ForceMultipleCoils(0x11, 0x13, kTenStates), code);
    }
}

TEST_F(WriteMultipleTest, CountsOutOfRangeAreNotSent) {
    EXPECT_EQ(master.PresetMultipleRegisters(1, 0, {}), kModbusBadRequest);
    EXPECT_EQ(master.PresetMultipleRegisters(1, 0, WordArray(124, 0)), kModbusBadRequest);
    EXPECT_EQ(master.ForceMultipleCoils(1, 0, {}), kModbusBadRequest);
    EXPECT_EQ(master.ForceMultipleCoils(1, 0, ByteArray(1969, 1)), kModbusBadRequest);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(master.GetErrorText(kModbusBadRequest), "Invalid Request");
}

TEST_F(WriteMultipleTest, BroadcastWritesAreSentAndNeverRead) {
    port.Answer(WithCrc({0x00, 0x06, 0x00, 0x01, 0x00, 0x02}));  // never taken
    master.SetBroadcast(true);
    EXPECT_EQ(master.PresetSingleCoil(0, 1, 1), kModbusOk);
    EXPECT_EQ(master.PresetSingleRegister(0, 1, 2), kModbusOk);
    EXPECT_EQ(master.PresetMultipleRegisters(0, 1, kTwoValues), kModbusOk);
    EXPECT_EQ(master.ForceMultipleCoils(0, 0x13, kTenStates), kModbusOk);
    EXPECT_EQ(port.calls, (std::vector<std::string>(4, "write")));
    EXPECT_EQ(port.writes[3],
              (Bytes{0x00, 0x0F, 0x00, 0x13, 0x00, 0x0A, 0x02, 0xCD, 0x01, 0x7F, 0x5B}));

    ByteArray states(1, 7);
    EXPECT_EQ(master.ReadCoils(0, 0, 1, states), kModbusBadRequest);
    EXPECT_EQ(port.writes.size(), 4u);
    EXPECT_EQ(states, ByteArray{7});

    port.writeOk = false;  // a broadcast that cannot be written says so
    EXPECT_EQ(master.PresetSingleRegister(0, 1, 2), kModbusWriteError);

    // Off, slave 0 is asked like any other and its answer awaited.
    port.writeOk = true;
    master.SetBroadcast(false);
    WordArray words(1, 7);
    EXPECT_NE(master.ReadHoldingRegisters(0, 0, 1, words), kModbusBadRequest);
    EXPECT_EQ(port.writes.size(), 5u);
}
