// Functions 7, 11 and 12: requests of the code alone, and answers of fixed or counted length,
// built, read and refused.
#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/Limits.h"
#include "protocol/functions/Functions.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::Role;

TEST(CommStatus, RequestsAreTheCodeAlone) {
    EXPECT_EQ(protocol::BuildReadExceptionStatusRequest(), Bytes{7});
    EXPECT_EQ(protocol::BuildGetCommEventCounterRequest(), Bytes{11});
    EXPECT_EQ(protocol::BuildGetCommEventLogRequest(), Bytes{12});
    for (const std::uint8_t code : {7, 11, 12}) {
        CExampleModel model;
        EXPECT_EQ(protocol::ServeRequest(Bytes{code, 0}, model, 1),
                  (Bytes{static_cast<std::uint8_t>(code | 0x80), 3}))
            << int{code};
        EXPECT_EQ(protocol::DescribePdu(Role::Request, Bytes{code, 0}).malformed,
                  "2 bytes where the fields call for 1")
            << int{code};
    }
    std::string why;
    EXPECT_FALSE(protocol::ReadGetCommEventLogRequest(Bytes{12, 1}, &why));
    EXPECT_EQ(why, "2 bytes where the function has 1");
}

TEST(CommStatus, AnswersRoundTrip) {
    EXPECT_EQ(protocol::BuildReadExceptionStatusAnswer(0x6D), (Bytes{7, 0x6D}));
    EXPECT_EQ(protocol::ReadReadExceptionStatusAnswer(Bytes{7, 0x6D}), 0x6D);
    EXPECT_FALSE(protocol::ReadReadExceptionStatusAnswer(Bytes{7}));

    const Bytes counter = protocol::BuildGetCommEventCounterAnswer({0xFFFF, 0x0108});
    EXPECT_EQ(counter, (Bytes{11, 0xFF, 0xFF, 0x01, 0x08}));
    const auto readCounter = protocol::ReadGetCommEventCounterAnswer(counter);
    ASSERT_TRUE(readCounter);
    EXPECT_EQ(readCounter->status, 0xFFFF);
    EXPECT_EQ(readCounter->eventCount, 0x0108);
    EXPECT_FALSE(protocol::ReadGetCommEventCounterAnswer(Bytes{11, 0, 0, 1}));

    const protocol::CommEventLog log{0, 264, 289, {0x20, 0x00}};
    const Bytes built = protocol::BuildGetCommEventLogAnswer(log);
    const auto read = protocol::ReadGetCommEventLogAnswer(built);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->eventCount, 264);
    EXPECT_EQ(read->messageCount, 289);
    EXPECT_EQ(read->events, log.events);
    // A log longer than a device keeps goes out cut to its newest.
    const Bytes full = protocol::BuildGetCommEventLogAnswer({0, 0, 0, Bytes(70, 0x80)});
    EXPECT_EQ(full.size(), 8 + protocol::kEventLogSize);
    EXPECT_EQ(full[1], 6 + protocol::kEventLogSize);
}

TEST(CommStatus, EventLogAnswersThatBreakTheirCount) {
    const std::pair<Bytes, const char*> cases[] = {
        {{12, 7, 0, 0, 0, 0, 0, 0}, "8 bytes where the function has 9"},
        {{12, 5, 0, 0, 0, 0, 0}, "7 bytes, fewer than the function's 8"},
        {{12, 5, 0, 0, 0, 0, 0, 0}, "byte count 5 outside 6 to 70"},
        {{12, 71, 0, 0, 0, 0, 0, 0}, "byte count 71 outside 6 to 70"},
    };
    for (const auto& [pdu, reason] : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadGetCommEventLogAnswer(pdu, &why));
        EXPECT_EQ(why, reason);
    }
}

TEST(CommStatus, DescribesStatusCountsAndEvents) {
    const auto log = protocol::DescribePdu(
        Role::Answer, Bytes{12, 8, 0xFF, 0xFF, 0x01, 0x08, 0x01, 0x21, 0x20, 0x00});
    ASSERT_EQ(log.fields.size(), 4u);
    EXPECT_EQ(log.fields[0].value, "0xFFFF");
    EXPECT_EQ(log.fields[1].value, "264");
    EXPECT_EQ(log.fields[2].value, "289");
    EXPECT_EQ(log.fields[3].value, "20 00");
    const auto status = protocol::DescribePdu(Role::Answer, Bytes{7, 0x6D});
    ASSERT_EQ(status.fields.size(), 1u);
    EXPECT_EQ(status.fields[0].value, "0x006D");
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{12, 9}).length, 11u);
}

}  // namespace
