#include <gtest/gtest.h>

#include "framework/ProfileStore.h"
#include "scan/Settings.h"
#include "scan/SettingsStore.h"
#include "tests/support/TempConfigHome.h"

namespace {

struct Loaded {
    MainEnv env;
    ModbusEnv request;
};

Loaded Load() {
    Loaded l;
    // Fill with junk first so a value that is not read shows up.
    l.env = MainEnv{9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    l.request = ModbusEnv{9, 9, 9, 9};
    const CProfileStore store;
    LoadSettings(store, l.env, l.request);
    return l;
}

}  // namespace

TEST(SettingsStore, EmptyStoreGivesTheDefaults) {
    CTempConfigHome home;
    const Loaded l = Load();
    EXPECT_EQ(l.env.byPort, 0);
    EXPECT_EQ(l.env.byBaudRate, 3);
    EXPECT_EQ(l.env.byStopBits, 0);
    EXPECT_EQ(l.env.byParity, 0);
    EXPECT_EQ(l.env.byDataSize, 1);
    EXPECT_EQ(l.env.byFlowControl, 0);
    EXPECT_EQ(l.env.byTransMode, 0);
    EXPECT_EQ(l.env.dwTimeout, 1000u);
    EXPECT_EQ(l.env.dwSilentTime, 100u);
    EXPECT_EQ(l.env.dwScanTime, 1000u);
    EXPECT_EQ(l.request.bySlaveId, 1);
    EXPECT_EQ(l.request.byReadFunc, 0);
    EXPECT_EQ(l.request.wReadAddr, 0);
    EXPECT_EQ(l.request.wReadQuan, 8);
    EXPECT_EQ(PortNumber(l.env), 1);
    EXPECT_EQ(BaudRate(l.env), 9600u);
    EXPECT_EQ(DataBits(l.env), 8);
    EXPECT_EQ(StopBitsCode(l.env), 0);
    EXPECT_EQ(ParityCode(l.env), 0);
}

TEST(SettingsStore, HandWrittenValuesAndTheirLimits) {
    CTempConfigHome home;
    ASSERT_TRUE(
        home.WriteIni("[Main Env]\nCOM Bps=9\nCOM Parity=1\nData Sizes=0\nStop Bits=5\n"
                      "Time Outs=abc\nScan Time=250\n"
                      "[ModBus Env]\nSalve ID=300\nRead Addr=70000\nRead Quan=500\n"));
    const Loaded l = Load();
    EXPECT_EQ(l.env.byBaudRate, 9);
    EXPECT_EQ(BaudRate(l.env), 9600u);  // an index without a rate runs the line at 9600
    EXPECT_EQ(ParityCode(l.env), 2);    // "Even" in the dialog is even parity on the line
    EXPECT_EQ(DataBits(l.env), 7);
    EXPECT_EQ(StopBitsCode(l.env), 2);
    EXPECT_EQ(l.env.dwTimeout, 1000u);  // not a number: the default
    EXPECT_EQ(l.env.dwScanTime, 250u);
    EXPECT_EQ(l.request.bySlaveId, 255);    // taken as the maximum, not its low bits
    EXPECT_EQ(l.request.wReadAddr, 65535);  // likewise
    EXPECT_EQ(l.request.wReadQuan, 500);    // the quantity limit comes with the edits
}

TEST(SettingsStore, OddParityIsTheLineCodeOne) {
    MainEnv env;
    env.byParity = 2;
    EXPECT_EQ(ParityCode(env), 1);
    env.byParity = 7;
    EXPECT_EQ(ParityCode(env), 0);
    EXPECT_EQ(QuantityLimit(0), 125);
    EXPECT_EQ(QuantityLimit(1), 125);
    EXPECT_EQ(QuantityLimit(2), 2000);
}

TEST(SettingsStore, FourteenValuesRoundTrip) {
    CTempConfigHome home;
    const MainEnv env{15, 7, 1, 2, 0, 5, 1, 3000, 60, 250};
    const ModbusEnv request{17, 1, 0x1234, 42};
    {
        CProfileStore store;
        ASSERT_TRUE(SaveSettings(store, env, request));
    }
    const Loaded l = Load();
    EXPECT_EQ(l.env.byPort, 15);
    EXPECT_EQ(l.env.byBaudRate, 7);
    EXPECT_EQ(l.env.byStopBits, 1);
    EXPECT_EQ(l.env.byParity, 2);
    EXPECT_EQ(l.env.byDataSize, 0);
    EXPECT_EQ(l.env.byFlowControl, 5);
    EXPECT_EQ(l.env.byTransMode, 1);
    EXPECT_EQ(l.env.dwTimeout, 3000u);
    EXPECT_EQ(l.env.dwSilentTime, 60u);
    EXPECT_EQ(l.env.dwScanTime, 250u);
    EXPECT_EQ(l.request.bySlaveId, 17);
    EXPECT_EQ(l.request.byReadFunc, 1);
    EXPECT_EQ(l.request.wReadAddr, 0x1234);
    EXPECT_EQ(l.request.wReadQuan, 42);
}

TEST(SettingsStore, UnwritableStoreIsReported) {
    CTempConfigHome home;
    // A folder where the file should be makes every write fail.
    ASSERT_TRUE(QDir().mkpath(home.IniPath()));
    CProfileStore store;
    EXPECT_FALSE(SaveSettings(store, MainEnv{}, ModbusEnv{}));
}
