// Function 8: its sub-functions served against a device's diagnostics, the typed builders and
// readers, the lengths a monitor reads, and the refusals.
#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/functions/Diagnostics.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::CDeviceDiagnostics;
using protocol::PduLength;
using protocol::Role;

// Every counter a value of its own, the register one too, two events logged.
CExampleModel Counted() {
    CExampleModel model;
    CDeviceDiagnostics::State state;
    state.counters = {1, 2, 3, 4, 5, 6, 7, 8};
    state.diagnosticRegister = 0x0101;
    state.eventCount = 9;
    state.events = {0x80, 0x40};
    model.diagnostics.Restore(state);
    return model;
}

TEST(Diagnostics, ServesEachSubFunction) {
    struct Case {
        const char* what;
        Bytes request;
        std::optional<Bytes> answer;
    };
    const Case cases[] = {
        {"query data echoed",
         {8, 0, 0, 0xA5, 0x37, 0x12, 0x34},
         Bytes{8, 0, 0, 0xA5, 0x37, 0x12, 0x34}},
        {"query data of no words", {8, 0, 0}, Bytes{8, 0, 0}},
        {"restart", {8, 0, 1, 0xFF, 0}, Bytes{8, 0, 1, 0xFF, 0}},
        {"diagnostic register", {8, 0, 2, 0, 0}, Bytes{8, 0, 2, 0x01, 0x01}},
        {"listen only, never answered", {8, 0, 4, 0, 0}, std::nullopt},
        {"clear counters", {8, 0, 10, 0, 0}, Bytes{8, 0, 10, 0, 0}},
        {"bus messages", {8, 0, 11, 0, 0}, Bytes{8, 0, 11, 0, 1}},
        {"bus check errors", {8, 0, 12, 0, 0}, Bytes{8, 0, 12, 0, 2}},
        {"bus exceptions", {8, 0, 13, 0, 0}, Bytes{8, 0, 13, 0, 3}},
        {"server messages", {8, 0, 14, 0, 0}, Bytes{8, 0, 14, 0, 4}},
        {"no responses", {8, 0, 15, 0, 0}, Bytes{8, 0, 15, 0, 5}},
        {"naks", {8, 0, 16, 0, 0}, Bytes{8, 0, 16, 0, 6}},
        {"busy", {8, 0, 17, 0, 0}, Bytes{8, 0, 17, 0, 7}},
        {"overruns", {8, 0, 18, 0, 0}, Bytes{8, 0, 18, 0, 8}},
        {"clear overrun", {8, 0, 20, 0, 0}, Bytes{8, 0, 20, 0, 0}},
        {"restart with other data", {8, 0, 1, 0x12, 0x34}, Bytes{0x88, 3}},
        {"counter with data", {8, 0, 11, 0, 1}, Bytes{0x88, 3}},
        {"counter with two words", {8, 0, 11, 0, 0, 0, 0}, Bytes{0x88, 3}},
        {"listen only with data", {8, 0, 4, 0xFF, 0}, Bytes{0x88, 3}},
        {"ascii delimiter, not served", {8, 0, 3, 0x3A, 0}, Bytes{0x88, 1}},
        {"reserved 19", {8, 0, 19, 0, 0}, Bytes{0x88, 1}},
        {"reserved 21", {8, 0, 21, 0, 0}, Bytes{0x88, 1}},
        {"half a word", {8, 0, 0, 0xA5}, Bytes{0x88, 3}},
        {"no sub-function", {8, 0}, Bytes{0x88, 3}},
    };
    for (const Case& c : cases) {
        CExampleModel model = Counted();
        EXPECT_EQ(protocol::ServeRequest(c.request, model, 1), c.answer) << c.what;
    }
}

TEST(Diagnostics, ClearsWhatEachSubFunctionNames) {
    CExampleModel model = Counted();
    model.diagnostics.CharacterOverrun();
    protocol::ServeRequest(Bytes{8, 0, 20, 0, 0}, model, 1);
    EXPECT_EQ(model.diagnostics.Count().characterOverruns, 0);
    EXPECT_EQ(model.diagnostics.DiagnosticRegister(), 0x0100);  // the overrun flag only
    EXPECT_EQ(model.diagnostics.Count().busMessages, 1);

    protocol::ServeRequest(Bytes{8, 0, 10, 0, 0}, model, 1);
    EXPECT_EQ(model.diagnostics.Count().busMessages, 0);
    EXPECT_EQ(model.diagnostics.DiagnosticRegister(), 0);
    EXPECT_EQ(model.diagnostics.EventCount(), 0);
    EXPECT_EQ(model.diagnostics.Events().size(), 3u);  // the log stays

    protocol::ServeRequest(Bytes{8, 0, 4, 0, 0}, model, 1);
    EXPECT_TRUE(model.diagnostics.ListenOnly());
    EXPECT_EQ(model.diagnostics.Events().front(), protocol::kEnteredListenOnlyEvent);
}

TEST(Diagnostics, RestartKeepsOrClearsTheLogAndLeavesListenOnly) {
    for (const bool clear : {true, false}) {
        CExampleModel model = Counted();
        model.diagnostics.SetListenOnly(true);
        const Bytes restart{8, 0, 1, static_cast<std::uint8_t>(clear ? 0xFF : 0), 0};
        EXPECT_EQ(protocol::ServeRequest(restart, model, 1), std::nullopt) << clear;
        EXPECT_FALSE(model.diagnostics.ListenOnly());
        EXPECT_EQ(model.diagnostics.Count().busMessages, 0);
        EXPECT_EQ(model.diagnostics.EventCount(), 0);
        const std::deque<std::uint8_t> kept{0x00, 0x04, 0x80, 0x40};
        EXPECT_EQ(model.diagnostics.Events(), clear ? std::deque<std::uint8_t>{0x00} : kept);
        // On line again, the next restart is answered.
        EXPECT_EQ(protocol::ServeRequest(restart, model, 1), restart);
    }
}

TEST(Diagnostics, AnySubFunctionAndDataRoundTrip) {
    const protocol::DiagnosticsPdu pdus[] = {{0, {0xA537, 0x0102}}, {11, {0}}, {0, {}}, {99, {7}}};
    for (const auto& pdu : pdus) {
        const Bytes request = protocol::BuildDiagnosticsRequest(pdu);
        ASSERT_EQ(request.size(), 3 + 2 * pdu.data.size());
        EXPECT_EQ(request[0], 8);
        const auto read = protocol::ReadDiagnosticsRequest(request);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->subFunction, pdu.subFunction);
        EXPECT_EQ(read->data, pdu.data);
        const auto answer = protocol::ReadDiagnosticsAnswer(protocol::BuildDiagnosticsAnswer(pdu));
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->data, pdu.data);
    }
    EXPECT_EQ(protocol::BuildDiagnosticsRequest({0x0102, {0xA537}}), (Bytes{8, 1, 2, 0xA5, 0x37}));
    std::string why;
    EXPECT_FALSE(protocol::ReadDiagnosticsAnswer(Bytes{8, 0, 0, 1}, &why));
    EXPECT_EQ(why, "1 data bytes, not words");
    EXPECT_FALSE(protocol::ReadDiagnosticsRequest(Bytes{8, 0}, &why));
    EXPECT_TRUE(protocol::IsRestartCommunications(Bytes{8, 0, 1, 0, 0}));
    EXPECT_FALSE(protocol::IsRestartCommunications(Bytes{8, 0, 4, 0, 0}));
    EXPECT_FALSE(protocol::IsRestartCommunications(Bytes{8, 0}));
    EXPECT_FALSE(protocol::IsRestartCommunications(Bytes{6, 0, 1, 0, 0}));
}

TEST(Diagnostics, OnlyQueryDataHasNoLengthOfItsOwn) {
    const std::pair<Bytes, PduLength> cases[] = {
        {{8}, PduLength::NeedMore(3)},     {{8, 0}, PduLength::NeedMore(3)},
        {{8, 0, 0}, PduLength::Unknown()}, {{8, 0, 0, 0xA5, 0x37, 1, 2}, PduLength::Unknown()},
        {{8, 0, 11}, PduLength::Of(5)},    {{8, 0, 1, 0xFF}, PduLength::Of(5)},
    };
    for (const auto& [pdu, expected] : cases) {
        for (const Role role : {Role::Request, Role::Answer}) {
            const PduLength length = protocol::LengthOf(role, pdu);
            EXPECT_EQ(length.fit, expected.fit) << pdu.size();
            EXPECT_EQ(length.length, expected.length) << pdu.size();
        }
    }
}

TEST(Diagnostics, DescribesSubFunctionDataAndCounts) {
    auto request = protocol::DescribePdu(Role::Request, Bytes{8, 0, 0, 0xA5, 0x37, 0x12, 0x34});
    ASSERT_EQ(request.fields.size(), 2u);
    EXPECT_EQ(request.fields[0].value, "0");
    EXPECT_EQ(request.fields[1].name, "data");
    EXPECT_EQ(request.fields[1].value, "0xA537 0x1234");
    const auto answer = protocol::DescribePdu(Role::Answer, Bytes{8, 0, 14, 0x01, 0x08}, &request);
    ASSERT_EQ(answer.fields.size(), 2u);
    EXPECT_EQ(answer.fields[0].value, "14");
    EXPECT_EQ(answer.fields[1].name, "count");
    EXPECT_EQ(answer.fields[1].value, "264");
    EXPECT_EQ(protocol::DescribePdu(Role::Request, Bytes{8, 0, 0, 1}).malformed,
              "1 data bytes, not words");
    EXPECT_NE(protocol::DescribePdu(Role::Request, Bytes{8, 0, 11, 0, 0, 0}).malformed, "");
}

}  // namespace
