// Every worked example through the table, both directions: each PDU's length from its first
// bytes, the device's answer to the request, and the description of both sides.
#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "tests/protocol/Examples.h"

namespace {

using protocol::Bytes;
using protocol::PduLength;
using protocol::Role;

std::string Hex(const Bytes& bytes) {
    std::string out;
    char piece[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(piece, sizeof piece, "%02X ", b);
        out += piece;
    }
    return out;
}

TEST(WorkedExamples, EveryFunctionHasOne) {
    for (const protocol::FunctionEntry& function : protocol::Functions()) {
        const auto examples = AllWorkedExamples();
        EXPECT_TRUE(std::any_of(examples.begin(), examples.end(), [&](const WorkedExample& e) {
            return e.request[0] == function.code;
        })) << function.name;
    }
}

TEST(WorkedExamples, LengthsFromTheFirstBytes) {
    for (const WorkedExample& e : AllWorkedExamples()) {
        for (const auto& [role, pdu] :
             {std::pair{Role::Request, e.request}, {Role::Answer, e.answer}}) {
            // Fed one byte at a time, a PDU asks for more until its length is known, and that
            // length is its own.
            for (std::size_t have = 1; have <= pdu.size(); ++have) {
                const PduLength length = protocol::LengthOf(role, {pdu.data(), have});
                if (length.fit == PduLength::Fit::NeedMore) {
                    EXPECT_GT(length.length, have) << e.name;
                    continue;
                }
                if (length.fit == PduLength::Fit::Unknown) {
                    // A PDU its bytes do not bound (a diagnostics echo) is ended by the line's
                    // silence: it must stay unbounded, never guess a length, to its end.
                    EXPECT_EQ(protocol::LengthOf(role, pdu).fit, PduLength::Fit::Unknown) << e.name;
                    break;
                }
                ASSERT_EQ(length.fit, PduLength::Fit::Length) << e.name << " at " << have;
                EXPECT_EQ(length.length, pdu.size()) << e.name << " at " << have;
                break;
            }
        }
    }
}

TEST(WorkedExamples, TheDeviceAnswersAsPublished) {
    for (const WorkedExample& e : AllWorkedExamples()) {
        CExampleModel model;
        e.seed(model);
        const auto answer = protocol::ServeRequest(e.request, model, 1);
        ASSERT_TRUE(answer.has_value()) << e.name;
        EXPECT_EQ(Hex(*answer), Hex(e.answer)) << e.name;
    }
}

TEST(WorkedExamples, BothSidesDescribeWithoutFault) {
    for (const WorkedExample& e : AllWorkedExamples()) {
        const protocol::Description request = protocol::DescribePdu(Role::Request, e.request);
        EXPECT_EQ(request.malformed, "") << e.name;
        const protocol::Description answer =
            protocol::DescribePdu(Role::Answer, e.answer, &request);
        EXPECT_EQ(answer.malformed, "") << e.name;
    }
}

}  // namespace
