// Functions 1 to 6, 15 and 16: what a device answers to requests that break their rules or
// reach past its tables, and what the typed builders put on the wire.
#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/functions/Functions.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::Role;

// A device with every table 10 entries long.
CExampleModel TenOfEach() {
    CExampleModel model;
    for (std::uint16_t a = 0; a < 10; ++a) {
        model.coils[a] = 0;
        model.discreteInputs[a] = 1;
        model.holding[a] = static_cast<std::uint16_t>(100 + a);
        model.input[a] = static_cast<std::uint16_t>(200 + a);
    }
    return model;
}

TEST(BitAndRegisterRules, RefusedRequestsAnswerTheirException) {
    struct Case {
        const char* what;
        Bytes request;
        Bytes answer;
    };
    const Case cases[] = {
        {"read of 0 registers", {0x03, 0x00, 0x00, 0x00, 0x00}, {0x83, 0x03}},
        {"read of 126 registers", {0x03, 0x00, 0x00, 0x00, 0x7E}, {0x83, 0x03}},
        {"read past the table", {0x04, 0x00, 0x08, 0x00, 0x03}, {0x84, 0x02}},
        {"read with a byte too many", {0x03, 0x00, 0x00, 0x00, 0x01, 0x00}, {0x83, 0x03}},
        {"read of 2001 coils", {0x01, 0x00, 0x00, 0x07, 0xD1}, {0x81, 0x03}},
        {"inputs past the table", {0x02, 0x00, 0x09, 0x00, 0x02}, {0x82, 0x02}},
        {"coil value neither on nor off", {0x05, 0x00, 0x01, 0x12, 0x34}, {0x85, 0x03}},
        {"coil past the table", {0x05, 0x00, 0x0A, 0xFF, 0x00}, {0x85, 0x02}},
        {"register past the table", {0x06, 0x00, 0x0A, 0x00, 0x01}, {0x86, 0x02}},
        {"16 with a short byte count",
         {0x10, 0x00, 0x00, 0x00, 0x02, 0x03, 0x00, 0x01, 0x00},
         {0x90, 0x03}},
        {"16 with data past its count",
         {0x10, 0x00, 0x00, 0x00, 0x01, 0x02, 0, 1, 2},
         {0x90, 0x03}},
        {"16 of 124 registers", {0x10, 0x00, 0x00, 0x00, 0x7C, 0xF8}, {0x90, 0x03}},
        {"16 past the table",
         {0x10, 0x00, 0x09, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02},
         {0x90, 0x02}},
        {"15 of 1969 coils", {0x0F, 0x00, 0x00, 0x07, 0xB1, 0xF7}, {0x8F, 0x03}},
        {"15 whose byte count is for more coils",
         {0x0F, 0x00, 0x00, 0x00, 0x08, 0x02, 0xFF, 0x00},
         {0x8F, 0x03}},
        {"15 cut before its byte count", {0x0F, 0x00, 0x00, 0x00}, {0x8F, 0x03}},
        {"a function the table lacks", {0x29, 0x00}, {0xA9, 0x01}},
    };
    for (const Case& c : cases) {
        CExampleModel model = TenOfEach();
        const auto answer = protocol::ServeRequest(c.request, model, 1);
        ASSERT_TRUE(answer) << c.what;
        EXPECT_EQ(*answer, c.answer) << c.what;
        // A refused write changes nothing.
        EXPECT_EQ(model.holding, TenOfEach().holding) << c.what;
        EXPECT_EQ(model.coils, TenOfEach().coils) << c.what;
    }
}

TEST(BitAndRegisterRules, BuildersPutTheFieldsHighByteFirst) {
    using namespace protocol;
    EXPECT_EQ(BuildReadBitsRequest(kReadCoils, {0x1234, 10}),
              (Bytes{0x01, 0x12, 0x34, 0x00, 0x0A}));
    EXPECT_EQ(BuildWriteSingleCoil(5, true), (Bytes{0x05, 0x00, 0x05, 0xFF, 0x00}));
    EXPECT_EQ(BuildWriteSingleCoil(5, false), (Bytes{0x05, 0x00, 0x05, 0x00, 0x00}));
    EXPECT_EQ(BuildWriteMultipleCoilsRequest({3, {1, 0, 1, 1, 0, 0, 0, 0, 1}}),
              (Bytes{0x0F, 0x00, 0x03, 0x00, 0x09, 0x02, 0x0D, 0x01}));
    EXPECT_EQ(BuildWriteMultipleRegistersRequest({0x0100, {0xBEEF}}),
              (Bytes{0x10, 0x01, 0x00, 0x00, 0x01, 0x02, 0xBE, 0xEF}));
    EXPECT_EQ(RegistersOfAnswer(Bytes{0x03, 0x00, 0x12, 0x34, 0xAB, 0xCD}, 2),
              (Words{0x1234, 0xABCD}));
    // The byte count is not what the master goes by: 0 here, and the bits still come out.
    EXPECT_EQ(BitsOfAnswer(Bytes{0x01, 0x00, 0x05, 0x02}, 10),
              (Bytes{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(BitAndRegisterRules, DescriptionsOfBothSides) {
    const auto request = protocol::DescribePdu(Role::Request, Bytes{0x01, 0x00, 0x13, 0x00, 0x0A});
    EXPECT_EQ(request.address, 0x13);
    EXPECT_EQ(request.count, 10);
    // Ten bits asked: the six of padding in the second byte are left out.
    const auto answer =
        protocol::DescribePdu(Role::Answer, Bytes{0x01, 0x02, 0xCD, 0x01}, &request);
    EXPECT_EQ(answer.values, (protocol::Words{1, 0, 1, 1, 0, 0, 1, 1, 1, 0}));
    EXPECT_TRUE(answer.bitValues);
    const auto unpaired = protocol::DescribePdu(Role::Answer, Bytes{0x01, 0x02, 0xCD, 0x01});
    EXPECT_EQ(unpaired.values.size(), 16u);

    const auto coil = protocol::DescribePdu(Role::Request, Bytes{0x05, 0x00, 0x01, 0x12, 0x34});
    EXPECT_EQ(coil.malformed, "coil value 0x1234");
    const auto odd = protocol::DescribePdu(Role::Answer, Bytes{0x03, 0x03, 0x00, 0x01, 0x02});
    EXPECT_EQ(odd.malformed, "odd byte count 3");
    const auto cut = protocol::DescribePdu(Role::Answer, Bytes{0x03, 0x04, 0x00, 0x01});
    EXPECT_EQ(cut.malformed, "4 bytes where the fields call for 6");
}

}  // namespace
