#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/Limits.h"
#include "protocol/functions/ReadFifoQueue.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::Role;
using protocol::Words;

struct BadPdu {
    const char* name;
    Bytes pdu;
};

TEST(ReadFifoQueue, RequestRoundTrip) {
    const Bytes pdu = protocol::BuildReadFifoQueueRequest(0xABCD);
    EXPECT_EQ(pdu, (Bytes{0x18, 0xAB, 0xCD}));
    EXPECT_EQ(protocol::ReadReadFifoQueueRequest(pdu), 0xABCD);
}

TEST(ReadFifoQueue, AnswerRoundTrips) {
    for (const Words& queue : {Words{}, Words{0x1234}, Words(protocol::kMaxFifoCount, 0x5A5A)}) {
        const Bytes pdu = protocol::BuildReadFifoQueueAnswer(queue);
        ASSERT_EQ(pdu.size(), 5 + 2 * queue.size());
        EXPECT_EQ(protocol::WordAt(pdu, 1), 2 + 2 * queue.size());
        EXPECT_EQ(protocol::WordAt(pdu, 3), queue.size());
        EXPECT_EQ(protocol::ReadReadFifoQueueAnswer(pdu), queue);
        EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes(pdu.begin(), pdu.begin() + 3)).length,
                  pdu.size());
    }
}

TEST(ReadFifoQueue, BadRequestsAreRefused) {
    for (const Bytes& pdu : {Bytes{0x18}, Bytes{0x18, 0x04}, Bytes{0x18, 0x04, 0xDE, 0x00}}) {
        std::string why;
        EXPECT_FALSE(protocol::ReadReadFifoQueueRequest(pdu, &why)) << pdu.size();
        EXPECT_NE(why, "");
        CExampleModel model;
        model.fifos[0x04DE] = {1};
        EXPECT_EQ(protocol::ServeRequest(pdu, model, 1), (Bytes{0x98, 0x03})) << pdu.size();
    }
}

TEST(ReadFifoQueue, BadAnswersAreRefused) {
    Bytes overfull = protocol::BuildReadFifoQueueAnswer(Words(32, 0));
    const std::vector<BadPdu> cases = {
        {"no counts", {0x18, 0x00, 0x02, 0x00}},
        {"FIFO count over 31", overfull},
        {"byte count not the FIFO count's", {0x18, 0x00, 0x04, 0x00, 0x02, 0, 1, 0, 2}},
        {"registers short of the count", {0x18, 0x00, 0x06, 0x00, 0x02, 0, 1, 0}},
        {"registers past the count", {0x18, 0x00, 0x04, 0x00, 0x01, 0, 1, 0, 2}},
    };
    for (const BadPdu& c : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadReadFifoQueueAnswer(c.pdu, &why)) << c.name;
        EXPECT_NE(why, "") << c.name;
        EXPECT_NE(protocol::DescribePdu(Role::Answer, c.pdu).malformed, "") << c.name;
    }
}

TEST(ReadFifoQueue, ServeAnswersTheQueueOrItsRefusal) {
    struct Case {
        const char* name;
        std::size_t queued;
        Bytes answerHead;
    };
    const Case cases[] = {
        {"an empty queue", 0, {0x18, 0x00, 0x02, 0x00, 0x00}},
        {"a full answer", 31, {0x18, 0x00, 0x40, 0x00, 0x1F}},
        {"a queue past one answer", 32, {0x98, 0x03}},
    };
    for (const Case& c : cases) {
        CExampleModel model;
        model.fifos[7] = Words(c.queued, 0x0101);
        const auto answer =
            protocol::ServeRequest(protocol::BuildReadFifoQueueRequest(7), model, 1);
        ASSERT_TRUE(answer) << c.name;
        ASSERT_GE(answer->size(), c.answerHead.size()) << c.name;
        EXPECT_EQ(Bytes(answer->begin(), answer->begin() + c.answerHead.size()), c.answerHead)
            << c.name;
    }
    CExampleModel model;
    EXPECT_EQ(protocol::ServeRequest(protocol::BuildReadFifoQueueRequest(7), model, 1),
              (Bytes{0x98, 0x02}));
}

TEST(ReadFifoQueue, LengthNeverPassesTheLargestPdu) {
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{0x18, 0x00}).fit,
              protocol::PduLength::Fit::NeedMore);
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{0x18, 0x00, 0xFA}).length, protocol::kMaxPdu);
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{0x18, 0x00, 0xFB}).fit,
              protocol::PduLength::Fit::None);
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{0x18, 0xFF, 0xFF}).fit,
              protocol::PduLength::Fit::None);
}

TEST(ReadFifoQueue, DescribesThePointerAndTheQueue) {
    const protocol::Description asked =
        protocol::DescribePdu(Role::Request, protocol::BuildReadFifoQueueRequest(0x04DE));
    EXPECT_EQ(asked.malformed, "");
    EXPECT_EQ(asked.address, 0x04DE);
    const protocol::Description told = protocol::DescribePdu(
        Role::Answer, protocol::BuildReadFifoQueueAnswer({0x01B8, 0x1284}), &asked);
    EXPECT_EQ(told.malformed, "");
    EXPECT_EQ(told.count, 2);
    EXPECT_EQ(told.values, (Words{0x01B8, 0x1284}));
}

}  // namespace
