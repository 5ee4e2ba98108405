#include "tests/modbus/LineFixture.h"

namespace {

struct IdentifyTest : LineTest {
    void SetUp() override { OpenLine(0); }
    DeviceIdAnswer answer;
};

}  // namespace

TEST_F(IdentifyTest, RequestsOnTheWireAndAnswersUnpacked) {
    port.Answer(WithCrc({0x11, 0x2B, 0x0E, 0x01, 0x81, 0xFF, 0x02, 0x02, 0x00, 0x04, 'A', 'c', 'm',
                         'e', 0x01, 0x00}));
    EXPECT_EQ(master.ReadDeviceIdentification(0x11, 1, 0, answer), kModbusOk);
    EXPECT_EQ(answer.conformity, 0x81);
    EXPECT_TRUE(answer.moreFollows);
    EXPECT_EQ(answer.nextObjectId, 2);
    ASSERT_EQ(answer.objects.size(), 2u);
    EXPECT_EQ(answer.objects[0].second, (ByteArray{'A', 'c', 'm', 'e'}));
    EXPECT_EQ(answer.objects[1], (std::pair<std::uint8_t, ByteArray>{1, {}}));

    ByteArray data;
    port.Answer(WithCrc({0x11, 0x11, 0x03, 0x11, 0xFF, 'P'}));
    EXPECT_EQ(master.ReportSlaveId(0x11, data), kModbusOk);
    EXPECT_EQ(data, (ByteArray{0x11, 0xFF, 'P'}));
    EXPECT_EQ(port.writes,
              (std::vector<Bytes>{WithCrc({0x11, 0x2B, 0x0E, 0x01, 0x00}), WithCrc({0x11, 0x11})}));
}

// Counts and lengths that do not fit the frame, a wrong echo, exceptions: none touch the answer.
TEST_F(IdentifyTest, MalformedAnswersFail) {
    const std::pair<Bytes, std::uint16_t> rows[] = {
        {{0x11, 0x2B, 0x0E, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x01, 'A'},
         kModbusInvalidResponse},  // two objects announced, one there
        {{0x11, 0x2B, 0x0E, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x05, 'A'},
         kModbusInvalidResponse},  // length past the end
        {{0x11, 0x2B, 0x0E, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 'A', 'B'},
         kModbusInvalidResponse},  // bytes left over
        {{0x11, 0x2B, 0x0D, 0x01, 0x01, 0x00, 0x00, 0x00}, kModbusInvalidResponse},  // MEI
        {{0x12, 0x2B, 0x0E, 0x01, 0x01, 0x00, 0x00, 0x00}, kModbusInvalidResponse},  // slave
        {{0x11, 0x2B, 0x0E, 0x01}, kModbusInvalidResponse},                          // short
        {{0x11, 0xAB, 0x01}, kModbusException + 1},
    };
    for (const auto& [frame, code] : rows) {
        SCOPED_TRACE(::testing::PrintToString(frame));
        answer.nextObjectId = 9;
        port.Answer(WithCrc(frame));
        EXPECT_EQ(master.ReadDeviceIdentification(0x11, 1, 0, answer), code);
        EXPECT_EQ(answer.nextObjectId, 9);
    }
    ByteArray data{7};
    port.Answer(WithCrc({0x11, 0x11, 0x04, 0x11, 0xFF, 'P'}));  // a count past the end
    EXPECT_EQ(master.ReportSlaveId(0x11, data), kModbusInvalidResponse);
    EXPECT_EQ(data, ByteArray{7});
}
