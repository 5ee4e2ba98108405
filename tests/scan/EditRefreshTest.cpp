#include "scan/EditRefresh.h"

#include <gtest/gtest.h>

#include "tests/scan/QStringPrinter.h"

namespace {

EditRefreshInput Input(const QString& slave, const QString& hex, const QString& quantity,
                       const QString& dec, bool hexModified, bool decModified, int entry = 0) {
    EditRefreshInput input;
    input.edits = {slave, hex, quantity, dec};
    input.bHexModified = hexModified;
    input.bDecModified = decModified;
    input.nFunctionEntry = entry;
    return input;
}

}  // namespace

TEST(RefreshModbusEnv, HexEditSetsAddressAndReferenceNumber) {
    for (const char* typed : {"0x20", "20h", "0X20", "20H"}) {
        const auto r = RefreshModbusEnv(Input("1", typed, "8", "40001", true, false));
        EXPECT_EQ(r.env.wReadAddr, 32) << typed;
        EXPECT_EQ(r.edits.strAddrDec, "40033") << typed;
        EXPECT_EQ(r.edits.strAddrHex, typed);  // the typed text is not reformatted
        EXPECT_FALSE(r.selectEntry.has_value());
        EXPECT_EQ(r.nSendEntry, 0);
        EXPECT_EQ(r.nLineBase, 40001);
    }
    const auto input = RefreshModbusEnv(Input("1", "0x20", "8", "30001", true, false, 1));
    EXPECT_EQ(input.edits.strAddrDec, "30033");
    EXPECT_EQ(input.env.byReadFunc, 1);
}

TEST(RefreshModbusEnv, UnprefixedHexEditIsDecimal) {
    const auto r = RefreshModbusEnv(Input("1", "10", "8", "40001", true, false));
    EXPECT_EQ(r.env.wReadAddr, 10);
    EXPECT_EQ(r.edits.strAddrHex, "10");
    EXPECT_EQ(r.edits.strAddrDec, "40011");
}

TEST(RefreshModbusEnv, HexAddressSaturates) {
    const auto r = RefreshModbusEnv(Input("1", "0x12345", "8", "40001", true, false));
    EXPECT_EQ(r.env.wReadAddr, 65535);
    EXPECT_EQ(r.edits.strAddrDec, "105536");
}

TEST(RefreshModbusEnv, DecimalEditChoosesFunctionForTheNextCycle) {
    auto input = Input("1", "0x0000", "8", "30011", false, true, 0);
    input.env.wReadAddr = 0;
    const auto r = RefreshModbusEnv(input);
    EXPECT_EQ(r.env.wReadAddr, 10);
    EXPECT_EQ(r.edits.strAddrHex, "0x000A");
    EXPECT_EQ(r.edits.strAddrDec, "30011");
    ASSERT_TRUE(r.selectEntry.has_value());
    EXPECT_EQ(*r.selectEntry, 1);
    // This cycle still sends holding registers but its lines carry the input base.
    EXPECT_EQ(r.nSendEntry, 0);
    EXPECT_EQ(r.env.byReadFunc, 0);
    EXPECT_EQ(r.nLineBase, 30001);

    const auto back = RefreshModbusEnv(Input("1", "0x000A", "8", "40017", false, true, 1));
    EXPECT_EQ(back.env.wReadAddr, 16);
    EXPECT_EQ(back.edits.strAddrHex, "0x0010");
    EXPECT_EQ(*back.selectEntry, 0);
    EXPECT_EQ(back.nSendEntry, 1);
    EXPECT_EQ(back.nLineBase, 40001);
}

TEST(RefreshModbusEnv, DecimalEditBelowItsBaseWrapsModulo65536) {
    const auto low = RefreshModbusEnv(Input("1", "0x0000", "8", "3", false, true, 0));
    EXPECT_EQ(low.env.wReadAddr, (3 - 30001) & 0xFFFF);
    EXPECT_EQ(low.edits.strAddrHex, "0x8AD2");
    const auto high = RefreshModbusEnv(Input("1", "0x0000", "8", "4999999", false, true, 0));
    EXPECT_EQ(high.env.wReadAddr, (4999999 - 40001) & 0xFFFF);
}

TEST(RefreshModbusEnv, DecimalEditWithAnotherFirstCharacterChangesNothing) {
    for (const char* typed : {"5", "", " 30011", "x"}) {
        auto input = Input("1", "0x0007", "8", typed, false, true, 0);
        input.env.wReadAddr = 7;
        const auto r = RefreshModbusEnv(input);
        EXPECT_EQ(r.env.wReadAddr, 7) << typed;
        EXPECT_EQ(r.edits.strAddrHex, "0x0007");
        EXPECT_EQ(r.edits.strAddrDec, typed);
        EXPECT_FALSE(r.selectEntry.has_value());
        EXPECT_EQ(r.nLineBase, 40001);
    }
}

TEST(RefreshModbusEnv, BothEditsChangedDecimalWins) {
    const auto r = RefreshModbusEnv(Input("1", "0x20", "8", "30011", true, true, 0));
    EXPECT_EQ(r.env.wReadAddr, 10);
    EXPECT_EQ(r.edits.strAddrHex, "0x000A");
    EXPECT_EQ(r.edits.strAddrDec, "30011");
    EXPECT_EQ(*r.selectEntry, 1);
}

TEST(RefreshModbusEnv, UnchangedAddressEditsKeepTheAddress) {
    auto input = Input("1", "0x20", "8", "5", false, false, 0);
    input.env.wReadAddr = 99;
    const auto r = RefreshModbusEnv(input);
    EXPECT_EQ(r.env.wReadAddr, 99);
    EXPECT_EQ(r.edits.strAddrHex, "0x20");
    EXPECT_EQ(r.edits.strAddrDec, "5");
}

TEST(RefreshModbusEnv, SlaveAndQuantityLimits) {
    const auto r = RefreshModbusEnv(Input("300", "0x0000", "200", "40001", false, false));
    EXPECT_EQ(r.env.bySlaveId, 255);
    EXPECT_EQ(r.env.wReadQuan, 125);
    EXPECT_EQ(r.edits.strSlaveId, "300");
    EXPECT_EQ(r.edits.strQuantity, "200");

    const auto hex = RefreshModbusEnv(Input("17", "0x0000", "0x10", "40001", false, false));
    EXPECT_EQ(hex.env.bySlaveId, 17);
    EXPECT_EQ(hex.env.wReadQuan, 16);
    const auto junk = RefreshModbusEnv(Input("", "0x0000", "abc", "40001", false, false));
    EXPECT_EQ(junk.env.bySlaveId, 0);
    EXPECT_EQ(junk.env.wReadQuan, 0);
}

TEST(InitialEditTexts, FormatsTheLoadedRecord) {
    ModbusEnv env;
    const auto first = InitialEditTexts(env, 0);
    EXPECT_EQ(first.edits.strSlaveId, "1");
    EXPECT_EQ(first.edits.strAddrHex, "0x0000");
    EXPECT_EQ(first.edits.strAddrDec, "40001");
    EXPECT_EQ(first.edits.strQuantity, "8");

    env.bySlaveId = 247;
    env.byReadFunc = 1;
    env.wReadAddr = 0xBEEF;
    env.wReadQuan = 500;
    const auto input = InitialEditTexts(env, 1);
    EXPECT_EQ(input.edits.strSlaveId, "247");
    EXPECT_EQ(input.edits.strAddrHex, "0xBEEF");
    EXPECT_EQ(input.edits.strAddrDec, "78880");
    EXPECT_EQ(input.edits.strQuantity, "125");
    EXPECT_EQ(input.env.wReadQuan, 125);
}

TEST(InitialEditTexts, UnknownFunctionAllowsCoilQuantity) {
    ModbusEnv env;
    env.byReadFunc = 7;
    env.wReadQuan = 500;
    const auto r = InitialEditTexts(env, -1);
    EXPECT_EQ(r.env.wReadQuan, 500);
    EXPECT_EQ(r.edits.strAddrDec, "30001");
    env.wReadQuan = 3000;
    EXPECT_EQ(InitialEditTexts(env, -1).env.wReadQuan, 2000);
}
