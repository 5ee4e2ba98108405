#include <gtest/gtest.h>

#include "protocol/FunctionTable.h"
#include "protocol/functions/MaskWriteRegister.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::Bytes;
using protocol::MaskWrite;
using protocol::Role;

TEST(MaskWriteRegister, RequestAndAnswerRoundTrip) {
    const MaskWrite mask{0x1234, 0xFF00, 0x00A5};
    const Bytes pdu = protocol::BuildMaskWriteRegisterRequest(mask);
    EXPECT_EQ(pdu, (Bytes{0x16, 0x12, 0x34, 0xFF, 0x00, 0x00, 0xA5}));
    EXPECT_EQ(protocol::ReadMaskWriteRegisterRequest(pdu), mask);
    EXPECT_EQ(protocol::BuildMaskWriteRegisterAnswer(mask), pdu);
    EXPECT_EQ(protocol::ReadMaskWriteRegisterAnswer(pdu), mask);
}

TEST(MaskWriteRegister, MaskedValues) {
    struct Case {
        std::uint16_t current, andMask, orMask, result;
    };
    const Case cases[] = {
        {0x0012, 0x00F2, 0x0025, 0x0017},  // the protocol's own example
        {0xABCD, 0xFFFF, 0x1234, 0xABCD},  // an AND mask of all ones keeps everything
        {0xABCD, 0x0000, 0x1234, 0x1234},  // one of none gives the OR mask
        {0xABCD, 0xFF00, 0x0000, 0xAB00},  // no OR mask is a plain AND
        {0x0000, 0x0F0F, 0xFFFF, 0xF0F0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(protocol::MaskedValue(c.current, {0, c.andMask, c.orMask}), c.result)
            << std::hex << c.current << " " << c.andMask << " " << c.orMask;
    }
}

TEST(MaskWriteRegister, ServeChangesTheRegisterThroughTheModel) {
    CExampleModel model;
    model.holding[7] = 0xABCD;
    model.holding[8] = 0x1111;
    const Bytes request = protocol::BuildMaskWriteRegisterRequest({7, 0xFF00, 0x0012});
    EXPECT_EQ(protocol::ServeRequest(request, model, 1), request);
    EXPECT_EQ(model.holding[7], 0xAB12);
    EXPECT_EQ(model.holding[8], 0x1111);
}

TEST(MaskWriteRegister, ARegisterTheModelLacksIsItsException) {
    CExampleModel model;
    EXPECT_EQ(protocol::ServeRequest(protocol::BuildMaskWriteRegisterRequest({7, 0, 0}), model, 1),
              (Bytes{0x96, 0x02}));
    EXPECT_TRUE(model.holding.empty());
}

TEST(MaskWriteRegister, WrongSizesAreRefused) {
    const Bytes cases[] = {{0x16}, {0x16, 0, 4, 0, 0xF2, 0}, {0x16, 0, 4, 0, 0xF2, 0, 0x25, 0}};
    for (const Bytes& pdu : cases) {
        std::string why;
        EXPECT_FALSE(protocol::ReadMaskWriteRegisterRequest(pdu, &why)) << pdu.size();
        EXPECT_NE(why, "");
        EXPECT_FALSE(protocol::ReadMaskWriteRegisterAnswer(pdu)) << pdu.size();
        CExampleModel model;
        model.holding[4] = 0x0012;
        EXPECT_EQ(protocol::ServeRequest(pdu, model, 1), (Bytes{0x96, 0x03})) << pdu.size();
        EXPECT_EQ(model.holding[4], 0x0012);
    }
}

TEST(MaskWriteRegister, DescribesTheMasksInHex) {
    const Bytes pdu = protocol::BuildMaskWriteRegisterRequest({4, 0x00F2, 0x0025});
    for (const Role role : {Role::Request, Role::Answer}) {
        const protocol::Description told = protocol::DescribePdu(role, pdu);
        EXPECT_EQ(told.malformed, "");
        EXPECT_EQ(told.address, 4);
        ASSERT_EQ(told.fields.size(), 2u);
        EXPECT_EQ(told.fields[0].name + "=" + told.fields[0].value, "and=0x00F2");
        EXPECT_EQ(told.fields[1].name + "=" + told.fields[1].value, "or=0x0025");
    }
}

}  // namespace
