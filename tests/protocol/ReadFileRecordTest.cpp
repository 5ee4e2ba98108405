#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/Limits.h"
#include "protocol/functions/ReadFileRecord.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::FileRange;
using protocol::Role;
using protocol::Words;

struct BadPdu {
    const char* name;
    Bytes pdu;
};

TEST(ReadFileRecord, RequestRoundTrip) {
    const std::vector<FileRange> ranges{{4, 1, 2}, {3, 9, 2}, {0xFFFF, 0x270F, 1}};
    const Bytes pdu = protocol::BuildReadFileRecordRequest(ranges);
    EXPECT_EQ(pdu.size(), 2 + 7 * ranges.size());
    EXPECT_EQ(pdu[1], 21);
    EXPECT_EQ(protocol::ReadReadFileRecordRequest(pdu), ranges);
    EXPECT_EQ(protocol::ReadFileRecordAnswerLength(ranges), 2 + 6 + 6 + 4u);
}

TEST(ReadFileRecord, AnswerRoundTrip) {
    const std::vector<Words> records{{0x0DFE, 0x0020}, {0x33CD}};
    const Bytes pdu = protocol::BuildReadFileRecordAnswer(records);
    EXPECT_EQ(pdu, (Bytes{0x14, 0x0A, 0x05, 0x06, 0x0D, 0xFE, 0x00, 0x20, 0x03, 0x06, 0x33, 0xCD}));
    EXPECT_EQ(protocol::ReadReadFileRecordAnswer(pdu), records);
}

TEST(ReadFileRecord, TheLargestAnswerStillFits) {
    const std::vector<FileRange> ranges{{1, 0, 124}};
    EXPECT_EQ(protocol::ReadFileRecordAnswerLength(ranges), protocol::kMaxPdu - 1);
    EXPECT_TRUE(protocol::ReadReadFileRecordRequest(protocol::BuildReadFileRecordRequest(ranges)));
}

TEST(ReadFileRecord, BadRequestsAreRefused) {
    const std::vector<BadPdu> cases = {
        {"no byte count", {0x14}},
        {"byte count below 7", {0x14, 0x06, 6, 0, 4, 0, 1, 0}},
        {"byte count of part of a sub-request", {0x14, 0x08, 6, 0, 4, 0, 1, 0, 2, 0}},
        {"byte count past the frame", {0x14, 0x0E, 6, 0, 4, 0, 1, 0, 2}},
        {"reference type 7", {0x14, 0x07, 7, 0, 4, 0, 1, 0, 2}},
        {"record past the last", {0x14, 0x07, 6, 0, 4, 0x27, 0x10, 0, 1}},
        {"records run past the last", {0x14, 0x07, 6, 0, 4, 0x27, 0x0F, 0, 2}},
        {"no records", {0x14, 0x07, 6, 0, 4, 0, 1, 0, 0}},
        {"an answer past one PDU", {0x14, 0x07, 6, 0, 1, 0, 0, 0, 125}},
        {"answers past one PDU together", {0x14, 0x0E, 6, 0, 1, 0, 0, 0, 62, 6, 0, 2, 0, 0, 0, 62}},
    };
    for (const BadPdu& c : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadReadFileRecordRequest(c.pdu, &why)) << c.name;
        EXPECT_NE(why, "") << c.name;
        CExampleModel model;
        for (std::uint16_t record = 0; record < 130; ++record) {
            model.fileRecords[{1, record}] = 0;
            model.fileRecords[{2, record}] = 0;
        }
        EXPECT_EQ(protocol::ServeRequest(c.pdu, model, 1), (Bytes{0x94, 0x03})) << c.name;
        EXPECT_NE(protocol::DescribePdu(Role::Request, c.pdu).malformed, "") << c.name;
    }
}

TEST(ReadFileRecord, BadAnswersAreRefused) {
    const std::vector<BadPdu> cases = {
        {"no data length", {0x14}},
        {"data length past the frame", {0x14, 0x06, 0x05, 0x06, 0x0D, 0xFE, 0x00}},
        {"no sub-answers", {0x14, 0x00}},
        {"a sub-answer of no registers", {0x14, 0x02, 0x01, 0x06}},
        {"a sub-answer of half a register", {0x14, 0x04, 0x04, 0x06, 0x0D, 0xFE}},
        {"a sub-answer past the frame", {0x14, 0x04, 0x05, 0x06, 0x0D, 0xFE}},
        {"reference type 7", {0x14, 0x04, 0x03, 0x07, 0x0D, 0xFE}},
    };
    for (const BadPdu& c : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadReadFileRecordAnswer(c.pdu, &why)) << c.name;
        EXPECT_NE(why, "") << c.name;
        EXPECT_NE(protocol::DescribePdu(Role::Answer, c.pdu).malformed, "") << c.name;
    }
}

TEST(ReadFileRecord, ARecordTheModelLacksIsItsException) {
    CExampleModel model;
    model.fileRecords[{4, 1}] = 0x1111;
    const Bytes request = protocol::BuildReadFileRecordRequest({{4, 1, 1}, {4, 2, 1}});
    EXPECT_EQ(protocol::ServeRequest(request, model, 1), (Bytes{0x94, 0x02}));
}

TEST(ReadFileRecord, LengthNeverPassesTheLargestPdu) {
    EXPECT_EQ(protocol::LengthOf(Role::Request, Bytes{0x14, 0xFF}).fit,
              protocol::PduLength::Fit::None);
    EXPECT_EQ(protocol::LengthOf(Role::Answer, Bytes{0x14, 0xFB}).length, protocol::kMaxPdu);
}

TEST(ReadFileRecord, DescribesEachSubRequest) {
    const Bytes request = protocol::BuildReadFileRecordRequest({{4, 1, 2}, {3, 9, 1}});
    const protocol::Description asked = protocol::DescribePdu(Role::Request, request);
    ASSERT_EQ(asked.fields.size(), 6u);
    EXPECT_EQ(asked.fields[0].name + "=" + asked.fields[0].value, "file=4");
    EXPECT_EQ(asked.fields[4].name + "=" + asked.fields[4].value, "record=9");
    EXPECT_EQ(asked.fields[5].name + "=" + asked.fields[5].value, "length=1");

    const Bytes answer = protocol::BuildReadFileRecordAnswer({{0x0DFE, 0x0020}, {0x33CD}});
    const protocol::Description told = protocol::DescribePdu(Role::Answer, answer, &asked);
    EXPECT_EQ(told.values, (Words{0x0DFE, 0x0020, 0x33CD}));
    std::string text;
    for (const protocol::Field& field : told.fields) {
        text += field.name + "=" + field.value + ";";
    }
    EXPECT_EQ(text,
              "file=4;record=1;length=2;values=0x0DFE 0x0020;"
              "file=3;record=9;length=1;values=0x33CD;");
}

}  // namespace
