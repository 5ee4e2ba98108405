#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/functions/ReadWriteMultipleRegisters.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::ReadWriteRequest;
using protocol::Role;
using protocol::Words;

struct BadPdu {
    const char* name;
    Bytes pdu;
};

CExampleModel ModelOf(std::uint16_t registers) {
    CExampleModel model;
    for (std::uint16_t address = 0; address < registers; ++address) {
        model.holding[address] = address;
    }
    return model;
}

TEST(ReadWriteMultipleRegisters, RequestRoundTrip) {
    const ReadWriteRequest request{{0x0102, 125}, 0x0304, Words(121, 0xBEEF)};
    const Bytes pdu = protocol::BuildReadWriteMultipleRegistersRequest(request);
    ASSERT_EQ(pdu.size(), 10 + 2 * 121u);
    EXPECT_EQ(Bytes(pdu.begin(), pdu.begin() + 12),
              (Bytes{0x17, 0x01, 0x02, 0x00, 0x7D, 0x03, 0x04, 0x00, 0x79, 0xF2, 0xBE, 0xEF}));
    const auto read = protocol::ReadReadWriteMultipleRegistersRequest(pdu);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->read.start, 0x0102);
    EXPECT_EQ(read->read.count, 125);
    EXPECT_EQ(read->writeStart, 0x0304);
    EXPECT_EQ(read->values, request.values);
}

TEST(ReadWriteMultipleRegisters, AnswerRoundTrip) {
    const Words values{0x00FE, 0x0ACD};
    const Bytes pdu = protocol::BuildReadWriteMultipleRegistersAnswer(values);
    EXPECT_EQ(pdu, (Bytes{0x17, 0x04, 0x00, 0xFE, 0x0A, 0xCD}));
    EXPECT_EQ(protocol::ReadReadWriteMultipleRegistersAnswer(pdu), values);
}

TEST(ReadWriteMultipleRegisters, BadRequestsAreRefusedAndChangeNothing) {
    const std::vector<BadPdu> cases = {
        {"short of the byte count", {0x17, 0, 0, 0, 1, 0, 2, 0, 1}},
        {"read count 0", {0x17, 0, 0, 0, 0, 0, 2, 0, 1, 2, 0, 9}},
        {"read count 126", {0x17, 0, 0, 0, 126, 0, 2, 0, 1, 2, 0, 9}},
        {"write count 0", {0x17, 0, 0, 0, 1, 0, 2, 0, 0, 0}},
        {"write count 122", {0x17, 0, 0, 0, 1, 0, 2, 0, 122, 244}},
        {"byte count not twice the write count", {0x17, 0, 0, 0, 1, 0, 2, 0, 1, 4, 0, 9, 0, 9}},
        {"values short of the byte count", {0x17, 0, 0, 0, 1, 0, 2, 0, 2, 4, 0, 9, 0}},
        {"values past the byte count", {0x17, 0, 0, 0, 1, 0, 2, 0, 1, 2, 0, 9, 0}},
    };
    for (const BadPdu& c : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadReadWriteMultipleRegistersRequest(c.pdu, &why)) << c.name;
        EXPECT_NE(why, "") << c.name;
        CExampleModel model = ModelOf(200);
        const auto before = model.holding;
        EXPECT_EQ(protocol::ServeRequest(c.pdu, model, 1), (Bytes{0x97, 0x03})) << c.name;
        EXPECT_EQ(model.holding, before) << c.name;
        EXPECT_NE(protocol::DescribePdu(Role::Request, c.pdu).malformed, "") << c.name;
    }
}

TEST(ReadWriteMultipleRegisters, BadAnswersAreRefused) {
    const std::vector<BadPdu> cases = {
        {"no byte count", {0x17}},
        {"no registers", {0x17, 0x00}},
        {"odd byte count", {0x17, 0x03, 0, 1, 2}},
        {"byte count past the frame", {0x17, 0x04, 0, 1, 2}},
    };
    for (const BadPdu& c : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadReadWriteMultipleRegistersAnswer(c.pdu, &why)) << c.name;
        EXPECT_NE(why, "") << c.name;
        EXPECT_NE(protocol::DescribePdu(Role::Answer, c.pdu).malformed, "") << c.name;
    }
}

TEST(ReadWriteMultipleRegisters, TheWriteComesBeforeTheRead) {
    CExampleModel model = ModelOf(10);
    const Bytes request =
        protocol::BuildReadWriteMultipleRegistersRequest({{2, 3}, 3, {0xAAAA, 0xBBBB}});
    EXPECT_EQ(protocol::ServeRequest(request, model, 1),
              (Bytes{0x17, 0x06, 0x00, 0x02, 0xAA, 0xAA, 0xBB, 0xBB}));
    EXPECT_EQ(model.holding[3], 0xAAAA);
    EXPECT_EQ(model.holding[4], 0xBBBB);
}

TEST(ReadWriteMultipleRegisters, RefusalsOfEitherHalfChangeNothing) {
    struct Case {
        const char* name;
        ReadWriteRequest request;
    };
    const Case cases[] = {
        {"a write the device lacks", {{0, 2}, 9, {1, 2}}},
        {"a read the device lacks", {{9, 2}, 0, {1, 2}}},
    };
    for (const Case& c : cases) {
        CExampleModel model = ModelOf(10);
        const auto before = model.holding;
        const Bytes request = protocol::BuildReadWriteMultipleRegistersRequest(c.request);
        EXPECT_EQ(protocol::ServeRequest(request, model, 1), (Bytes{0x97, 0x02})) << c.name;
        EXPECT_EQ(model.holding, before) << c.name;
    }
}

TEST(ReadWriteMultipleRegisters, DescribesTheReadAndTheValuesWritten) {
    const Bytes request =
        protocol::BuildReadWriteMultipleRegistersRequest({{3, 6}, 14, {0x00FF, 0x01FF}});
    const protocol::Description asked = protocol::DescribePdu(Role::Request, request);
    EXPECT_EQ(asked.malformed, "");
    EXPECT_EQ(asked.address, 3);
    EXPECT_EQ(asked.count, 6);
    EXPECT_EQ(asked.values, (Words{0x00FF, 0x01FF}));
    ASSERT_EQ(asked.fields.size(), 2u);
    EXPECT_EQ(asked.fields[0].name + "=" + asked.fields[0].value, "write address=14");
    EXPECT_EQ(asked.fields[1].name + "=" + asked.fields[1].value, "write count=2");

    const Bytes answer = protocol::BuildReadWriteMultipleRegistersAnswer({7, 8});
    EXPECT_EQ(protocol::DescribePdu(Role::Answer, answer, &asked).values, (Words{7, 8}));
}

}  // namespace
