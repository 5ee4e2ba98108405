#include <gtest/gtest.h>

#include "tools/slave/SlaveDataModel.h"
#include "tools/slave/SlaveDevice.h"
#include "tools/slave/SlaveLog.h"

namespace slave {
namespace {

SlaveOptions WithIdentity(const DeviceIdentity& identity) {
    SlaveOptions options;
    options.identity = identity;
    return options;
}

class SlaveProtocolTest : public ::testing::Test {
protected:
    SlaveProtocolTest() : bank(100), model(bank), protocol(model, {7}) {}

    Bytes Answer(const Bytes& request, std::uint64_t elapsedMs = 0) {
        const SlaveReply reply = protocol.Handle(request, elapsedMs);
        EXPECT_EQ(reply.kind, SlaveReply::Kind::Answer);
        return reply.answer;
    }

    CRegisterBank bank;
    CSlaveDataModel model;
    CSlaveDevice protocol;
};

TEST_F(SlaveProtocolTest, HoldingRegistersStartAtZeroAndReadBackWrites) {
    EXPECT_EQ(Answer({7, 3, 0, 0, 0, 2}), (Bytes{7, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(Answer({7, 6, 0, 1, 0x12, 0x34}), (Bytes{7, 6, 0, 1, 0x12, 0x34}));
    EXPECT_EQ(Answer({7, 6, 0, 99, 0xFF, 0xFF}), (Bytes{7, 6, 0, 99, 0xFF, 0xFF}));
    EXPECT_EQ(Answer({7, 3, 0, 0, 0, 3}), (Bytes{7, 3, 6, 0, 0, 0x12, 0x34, 0, 0}));
    EXPECT_EQ(Answer({7, 3, 0, 99, 0, 1}), (Bytes{7, 3, 2, 0xFF, 0xFF}));
    EXPECT_EQ(bank.HoldingRegister(1), 0x1234);
}

TEST_F(SlaveProtocolTest, InputRegistersFollowTheClock) {
    // (tenths of a second + address) & 0xFFFF.
    EXPECT_EQ(Answer({7, 4, 0, 10, 0, 2}, 0), (Bytes{7, 4, 4, 0, 10, 0, 11}));
    EXPECT_EQ(Answer({7, 4, 0, 10, 0, 2}, 1234), (Bytes{7, 4, 4, 0, 22, 0, 23}));
    EXPECT_EQ(CRegisterBank::InputRegister(5, 6553600), 5);
    EXPECT_EQ(CRegisterBank::InputRegister(0, 6553600 - 100), 0xFFFF);
}

TEST_F(SlaveProtocolTest, CoilsPackLowestBitFirst) {
    EXPECT_EQ(Answer({7, 5, 0, 0, 0xFF, 0}), (Bytes{7, 5, 0, 0, 0xFF, 0}));
    EXPECT_EQ(Answer({7, 5, 0, 9, 0xFF, 0}), (Bytes{7, 5, 0, 9, 0xFF, 0}));
    EXPECT_EQ(Answer({7, 5, 0, 3, 0xFF, 0}), (Bytes{7, 5, 0, 3, 0xFF, 0}));
    EXPECT_EQ(Answer({7, 5, 0, 3, 0x00, 0}), (Bytes{7, 5, 0, 3, 0x00, 0}));
    EXPECT_EQ(Answer({7, 1, 0, 0, 0, 10}), (Bytes{7, 1, 2, 0x01, 0x02}));
    EXPECT_EQ(Answer({7, 1, 0, 8, 0, 2}), (Bytes{7, 1, 1, 0x02}));
    EXPECT_EQ(Answer({7, 1, 0, 0, 0, 1}), (Bytes{7, 1, 1, 0x01}));
}

TEST_F(SlaveProtocolTest, DiscreteInputsAlternateWithTheSeconds) {
    // On while (seconds + address) is odd.
    EXPECT_EQ(Answer({7, 2, 0, 0, 0, 9}, 0), (Bytes{7, 2, 2, 0xAA, 0x00}));
    EXPECT_EQ(Answer({7, 2, 0, 0, 0, 9}, 1500), (Bytes{7, 2, 2, 0x55, 0x01}));
    EXPECT_EQ(Answer({7, 2, 0, 1, 0, 1}, 2000), (Bytes{7, 2, 1, 0x01}));
}

TEST_F(SlaveProtocolTest, LimitsAndRangesGiveExceptions) {
    struct Case {
        Bytes request;
        std::uint8_t code;
    };
    const Case cases[] = {
        {{7, 3, 0, 0, 0, 0}, 3},
        {{7, 3, 0, 0, 0, 126}, 3},
        {{7, 4, 0, 0, 0, 0}, 3},
        {{7, 4, 0, 0, 0, 126}, 3},
        {{7, 1, 0, 0, 0, 0}, 3},
        {{7, 1, 0x07, 0xD1, 0, 1}, 2},
        {{7, 1, 0, 0, 0x07, 0xD1}, 3},
        {{7, 2, 0, 0, 0x07, 0xD1}, 3},
        {{7, 2, 0, 0, 0, 0}, 3},
        {{7, 3, 0, 99, 0, 2}, 2},
        {{7, 3, 0, 100, 0, 1}, 2},
        {{7, 4, 0, 90, 0, 11}, 2},
        {{7, 1, 0, 93, 0, 8}, 2},
        {{7, 2, 0xFF, 0xFF, 0, 1}, 2},
        {{7, 3, 0xFF, 0xFF, 0, 125}, 2},
        {{7, 5, 0, 0, 0x12, 0x34}, 3},
        {{7, 5, 0, 0, 0x00, 0x01}, 3},
        {{7, 5, 0, 0, 0xFF, 0x01}, 3},
        {{7, 5, 0, 100, 0xFF, 0}, 2},
        {{7, 5, 0, 100, 0x12, 0}, 3},
        {{7, 6, 0, 100, 0, 0}, 2},
        {{7, 6, 0xFF, 0xFF, 0, 0}, 2},
        {{7, 0, 0, 0, 0, 1}, 1},
        {{7, 7, 0, 0, 0, 1}, 3},  // function 7 carries no data
        {{7, 9, 0, 0, 0, 1}, 1},
        {{7, 0x41}, 1},
        {{7, 15, 0, 0, 0, 1}, 3},  // no byte count
        {{7, 16, 0, 0, 0, 1}, 3},
        {{7, 15, 0, 0, 0x07, 0xB1, 0xF7}, 3},  // 1969 coils
        {{7, 15, 0, 0, 0, 9, 1, 0xFF}, 3},     // byte count 1 for 9 coils
        {{7, 16, 0, 0, 0, 0, 0}, 3},
        {{7, 16, 0, 0, 0, 124, 248}, 3},
        {{7, 16, 0, 0, 0, 2, 4, 0, 1, 0, 2, 0}, 3},  // one byte more than counted
        {{7, 16, 0, 99, 0, 2, 4, 0, 1, 0, 2}, 2},
        {{7, 0x81, 0, 0, 0, 1}, 1},
        {{7, 0xFF}, 1},
        {{7, 3, 0, 0, 0}, 3},
        {{7, 3, 0, 0, 0, 1, 0}, 3},
        {{7, 6}, 3},
        {{7, 17, 0}, 3},
        {{7, 43}, 3},
        {{7, 43, 13, 1, 0}, 1},
        {{7, 43, 14, 1}, 3},
        {{7, 43, 14, 0, 0}, 3},
        {{7, 43, 14, 5, 0}, 3},
        {{7, 43, 14, 4, 3}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(HexSpaced(c.request));
        const Bytes answer = Answer(c.request);
        EXPECT_EQ(answer, (Bytes{7, static_cast<std::uint8_t>(c.request[1] | 0x80), c.code}));
    }
    // Nothing of the refused writes reached the tables.
    EXPECT_FALSE(bank.Coil(0));
    for (int i = 0; i < bank.Size(); ++i) {
        ASSERT_EQ(bank.HoldingRegister(i), 0);
    }
}

TEST_F(SlaveProtocolTest, WriteMultipleEchoesStartAndQuantity) {
    EXPECT_EQ(Answer({7, 16, 0, 1, 0, 2, 4, 0x12, 0x34, 0xAB, 0xCD}), (Bytes{7, 16, 0, 1, 0, 2}));
    EXPECT_EQ(Answer({7, 3, 0, 0, 0, 3}), (Bytes{7, 3, 6, 0, 0, 0x12, 0x34, 0xAB, 0xCD}));
    // Ten coils from 3, lowest bit first: 1,0,1,1,0,0,0,0 then 0,1.
    EXPECT_EQ(Answer({7, 15, 0, 3, 0, 10, 2, 0x0D, 0x02}), (Bytes{7, 15, 0, 3, 0, 10}));
    EXPECT_EQ(Answer({7, 1, 0, 0, 0, 16}), (Bytes{7, 1, 2, 0x68, 0x10}));
}

TEST_F(SlaveProtocolTest, LargestReadsFitExactly) {
    const Bytes registers = Answer({7, 3, 0, 0, 0, 100});
    EXPECT_EQ(registers.size(), 3u + 200u);
    EXPECT_EQ(registers[2], 200);

    CRegisterBank big(65536);
    CSlaveDataModel bigModel(big);
    CSlaveDevice wide(bigModel, {1});
    SlaveReply reply = wide.Handle({1, 3, 0xFF, 0x83, 0, 125}, 0);
    EXPECT_EQ(reply.answer.size(), 3u + 250u);
    EXPECT_EQ(reply.answer[2], 250);
    reply = wide.Handle({1, 1, 0xF8, 0x30, 0x07, 0xD0}, 0);
    EXPECT_EQ(reply.answer.size(), 3u + 250u);
    reply = wide.Handle({1, 6, 0xFF, 0xFF, 0xAB, 0xCD}, 0);
    EXPECT_EQ(reply.answer, (Bytes{1, 6, 0xFF, 0xFF, 0xAB, 0xCD}));
    EXPECT_EQ(big.HoldingRegister(65535), 0xABCD);
}

TEST_F(SlaveProtocolTest, OtherSlavesAreIgnoredAndBroadcastsWriteSilently) {
    EXPECT_EQ(protocol.Handle({8, 6, 0, 0, 0, 5}, 0).kind, SlaveReply::Kind::OtherId);
    EXPECT_EQ(protocol.Handle({1, 3, 0, 0, 0, 1}, 0).kind, SlaveReply::Kind::OtherId);
    EXPECT_EQ(bank.HoldingRegister(0), 0);

    SlaveReply reply = protocol.Handle({0, 6, 0, 4, 0xBE, 0xEF}, 0);
    EXPECT_EQ(reply.kind, SlaveReply::Kind::Broadcast);
    EXPECT_TRUE(reply.answer.empty());
    EXPECT_EQ(bank.HoldingRegister(4), 0xBEEF);
    reply = protocol.Handle({0, 5, 0, 2, 0xFF, 0}, 0);
    EXPECT_EQ(reply.kind, SlaveReply::Kind::Broadcast);
    EXPECT_TRUE(bank.Coil(2));
    // Even an exception is not answered on a broadcast.
    reply = protocol.Handle({0, 9, 0, 0, 0, 0}, 0);
    EXPECT_EQ(reply.kind, SlaveReply::Kind::Broadcast);
    EXPECT_TRUE(reply.answer.empty());
}

TEST_F(SlaveProtocolTest, RefusedFunctionsGiveIllegalFunctionAndChangeNothing) {
    protocol.Refuse({6, 17, 43});
    const std::pair<Bytes, Bytes> cases[] = {
        {{7, 17}, {7, 0x91, 1}},
        {{7, 43, 14, 1, 0}, {7, 0xAB, 1}},
        {{7, 6, 0, 1, 0x12, 0x34}, {7, 0x86, 1}},
        {{7, 3, 0, 1, 0, 1}, {7, 3, 2, 0, 0}},
    };
    for (const auto& [request, answer] : cases) {
        EXPECT_EQ(Answer(request), answer) << HexSpaced(request);
    }
    EXPECT_EQ(protocol.Handle({0, 6, 0, 1, 0x12, 0x34}, 0).kind, SlaveReply::Kind::Broadcast);
    EXPECT_EQ(bank.HoldingRegister(1), 0);
}

TEST_F(SlaveProtocolTest, TooShortMessagesAreIgnored) {
    EXPECT_EQ(protocol.Handle({}, 0).kind, SlaveReply::Kind::Short);
    EXPECT_EQ(protocol.Handle({7}, 0).kind, SlaveReply::Kind::Short);
}

TEST(SlaveProtocolIds, ReportSlaveIdNamesTheAddressAskedAndTheProduct) {
    CRegisterBank bank(10);
    DeviceIdentity identity;
    identity.product = "PLC-9";
    CSlaveDataModel model(bank, WithIdentity(identity));
    CSlaveDevice protocol(model, {3, 17});
    EXPECT_EQ(protocol.Handle({17, 17}, 0).answer,
              (Bytes{17, 17, 7, 17, 0xFF, 'P', 'L', 'C', '-', '9'}));
}

TEST(SlaveProtocolIds, ReadDeviceIdentificationStreamsOrPicksTheBasicObjects) {
    CRegisterBank bank(10);
    DeviceIdentity identity;
    identity.vendor = "Ab";
    identity.product = "Cde";
    identity.revision = "1.1";
    CSlaveDataModel model(bank, WithIdentity(identity));
    CSlaveDevice protocol(model, {5});
    const Bytes all{5,   43, 14, 1,   0x81, 0,   0, 3, 0,   2,   'A',
                    'b', 1,  3,  'C', 'd',  'e', 2, 3, '1', '.', '1'};
    struct Case {
        Bytes request;
        Bytes answer;
    };
    const Case cases[] = {
        {{5, 43, 14, 1, 0}, all},
        {{5, 43, 14, 1, 9}, all},  // no object 9: from the first
        {{5, 43, 14, 2, 1},
         {5, 43, 14, 2, 0x81, 0, 0, 2, 1, 3, 'C', 'd', 'e', 2, 3, '1', '.', '1'}},
        {{5, 43, 14, 4, 1}, {5, 43, 14, 4, 0x81, 0, 0, 1, 1, 3, 'C', 'd', 'e'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(HexSpaced(c.request));
        EXPECT_EQ(protocol.Handle(c.request, 0).answer, c.answer);
    }

    // Three texts of 244 do not fit one answer: each goes alone, the next named.
    identity.vendor = identity.product = identity.revision = std::string(244, 'x');
    CSlaveDataModel longModel(bank, WithIdentity(identity));
    CSlaveDevice longer(longModel, {5});
    for (const std::uint8_t id : {0, 1, 2}) {
        const Bytes answer = longer.Handle({5, 43, 14, 1, id}, 0).answer;
        ASSERT_EQ(answer.size(), 254u);
        const int more = id < 2 ? 0xFF : 0;
        EXPECT_EQ(Bytes(answer.begin() + 5, answer.begin() + 10),
                  (Bytes{std::uint8_t(more), std::uint8_t(more & (id + 1)), 1, id, 244}));
    }
}

TEST(SlaveProtocolIds, EveryListedAddressAnswersFromOneBank) {
    CRegisterBank bank(10);
    CSlaveDataModel model(bank);
    CSlaveDevice protocol(model, {3, 17, 200});
    EXPECT_EQ(protocol.Handle({17, 6, 0, 1, 0x12, 0x34}, 0).answer,
              (Bytes{17, 6, 0, 1, 0x12, 0x34}));
    EXPECT_EQ(protocol.Handle({200, 3, 0, 1, 0, 1}, 0).answer, (Bytes{200, 3, 2, 0x12, 0x34}));
    EXPECT_EQ(protocol.Handle({3, 3, 0, 1, 0, 1}, 0).answer, (Bytes{3, 3, 2, 0x12, 0x34}));
    for (const std::uint8_t other : {1, 4, 16, 201, 255}) {
        EXPECT_EQ(protocol.Handle({other, 3, 0, 1, 0, 1}, 0).kind, SlaveReply::Kind::OtherId);
    }
}

}  // namespace
}  // namespace slave
