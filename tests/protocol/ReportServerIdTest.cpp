// Function 17: this device's id, run indicator and data, and the master's reading of any
// device's answer.
#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/functions/ReportServerId.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::Role;

TEST(ReportServerId, NamesTheAddressAskedTheRunStateAndTheData) {
    struct Case {
        const char* what;
        std::string serverData;
        bool running;
        Bytes answer;
    };
    const Case cases[] = {
        {"product code", "", true, {17, 7, 17, 0xFF, 'P', 'L', 'C', '-', '9'}},
        {"own data", "ab", true, {17, 4, 17, 0xFF, 'a', 'b'}},
        {"stopped", "", false, {17, 7, 17, 0x00, 'P', 'L', 'C', '-', '9'}},
    };
    for (const Case& c : cases) {
        CExampleModel model;
        model.identity.objects = {{0, "V"}, {1, "PLC-9"}, {2, "1"}};
        model.identity.serverData = c.serverData;
        model.identity.running = c.running;
        EXPECT_EQ(protocol::ServeRequest(Bytes{17}, model, 17), c.answer) << c.what;
        EXPECT_EQ(protocol::ServeRequest(Bytes{17, 0}, model, 17), (Bytes{0x91, 3})) << c.what;
    }
    CExampleModel model;
    model.identity.serverData = std::string(300, 'd');
    const auto longest = protocol::ServeRequest(Bytes{17}, model, 1);
    EXPECT_EQ(longest->size(), 253u);
    EXPECT_EQ(longest->at(1), 251);
}

TEST(ReportServerId, TheMasterTakesEverythingAfterAMatchingCount) {
    EXPECT_EQ(protocol::ReadReportServerIdAnswer(Bytes{17, 3, 0x11, 0xFF, 'P'}),
              (Bytes{0x11, 0xFF, 'P'}));
    EXPECT_EQ(protocol::ReadReportServerIdAnswer(Bytes{17, 0}), Bytes{});
    for (const Bytes& bad : {Bytes{17, 4, 0x11, 0xFF, 'P'}, Bytes{17, 2, 1, 2, 3}, Bytes{17}}) {
        std::string why;
        EXPECT_FALSE(protocol::ReadReportServerIdAnswer(bad, &why));
        EXPECT_NE(why, "");
    }
    EXPECT_EQ(protocol::BuildReportServerIdRequest(), Bytes{17});
}

TEST(ReportServerId, DescribesIdRunAndData) {
    const auto answer = protocol::DescribePdu(Role::Answer, Bytes{17, 4, 9, 0xFF, 'o', 0x01});
    ASSERT_EQ(answer.fields.size(), 3u);
    EXPECT_EQ(answer.fields[0].value, "9");
    EXPECT_EQ(answer.fields[1].value, "on");
    EXPECT_EQ(answer.fields[2].value, "o\\x01");
    EXPECT_EQ(protocol::DescribePdu(Role::Answer, Bytes{17, 1, 5}).fields[0].name, "data");
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{17, 4}).length, 6u);
}

}  // namespace
