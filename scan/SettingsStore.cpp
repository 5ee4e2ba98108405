#include "scan/SettingsStore.h"

#include <algorithm>
#include <cstdint>

#include "framework/ProfileStore.h"

namespace {

std::uint32_t ReadValue(const CProfileStore& store, const char* section, const char* entry,
                        std::int32_t defaultValue) {
    return static_cast<std::uint32_t>(store.GetProfileInt(section, entry, defaultValue));
}

// Narrowing to 8 or 16 bits keeps the low bits, as storing into the field does.
std::uint8_t Low8(std::uint32_t v) {
    return static_cast<std::uint8_t>(v);
}

}  // namespace

void LoadSettings(const CProfileStore& store, MainEnv& env, ModbusEnv& modbusEnv) {
    const MainEnv d;
    env.byPort = Low8(ReadValue(store, kMainEnvSection, "COM Port", d.byPort));
    env.byBaudRate = Low8(ReadValue(store, kMainEnvSection, "COM Bps", d.byBaudRate));
    env.byStopBits = Low8(ReadValue(store, kMainEnvSection, "Stop Bits", d.byStopBits));
    env.byParity = Low8(ReadValue(store, kMainEnvSection, "COM Parity", d.byParity));
    env.byDataSize = Low8(ReadValue(store, kMainEnvSection, "Data Sizes", d.byDataSize));
    env.byFlowControl = Low8(ReadValue(store, kMainEnvSection, "Flow Ctrls", d.byFlowControl));
    env.byTransMode = Low8(ReadValue(store, kMainEnvSection, "Trans Mode", d.byTransMode));
    env.dwTimeout = ReadValue(store, kMainEnvSection, "Time Outs", d.dwTimeout);
    env.dwSilentTime = ReadValue(store, kMainEnvSection, "Silent Time", d.dwSilentTime);
    env.dwScanTime = ReadValue(store, kMainEnvSection, "Scan Time", d.dwScanTime);

    const ModbusEnv m;
    // A larger number means the maximum, not its low bits.
    modbusEnv.bySlaveId = static_cast<std::uint8_t>(
        std::min<std::uint32_t>(ReadValue(store, kModbusEnvSection, "Salve ID", m.bySlaveId), 255));
    modbusEnv.byReadFunc = Low8(ReadValue(store, kModbusEnvSection, "Read Func", m.byReadFunc));
    modbusEnv.wReadAddr = static_cast<std::uint16_t>(std::min<std::uint32_t>(
        ReadValue(store, kModbusEnvSection, "Read Addr", m.wReadAddr), 65535));
    modbusEnv.wReadQuan =
        static_cast<std::uint16_t>(ReadValue(store, kModbusEnvSection, "Read Quan", m.wReadQuan));
}

bool SaveSettings(CProfileStore& store, const MainEnv& env, const ModbusEnv& modbusEnv) {
    auto w = [&store](const char* section, const char* entry, std::uint32_t value) {
        return store.WriteProfileInt(section, entry, static_cast<std::int32_t>(value));
    };
    bool ok = true;
    ok &= w(kMainEnvSection, "COM Port", env.byPort);
    ok &= w(kMainEnvSection, "COM Bps", env.byBaudRate);
    ok &= w(kMainEnvSection, "Stop Bits", env.byStopBits);
    ok &= w(kMainEnvSection, "COM Parity", env.byParity);
    ok &= w(kMainEnvSection, "Data Sizes", env.byDataSize);
    ok &= w(kMainEnvSection, "Flow Ctrls", env.byFlowControl);
    ok &= w(kMainEnvSection, "Trans Mode", env.byTransMode);
    ok &= w(kMainEnvSection, "Time Outs", env.dwTimeout);
    ok &= w(kMainEnvSection, "Silent Time", env.dwSilentTime);
    ok &= w(kMainEnvSection, "Scan Time", env.dwScanTime);
    ok &= w(kModbusEnvSection, "Salve ID", modbusEnv.bySlaveId);
    ok &= w(kModbusEnvSection, "Read Func", modbusEnv.byReadFunc);
    ok &= w(kModbusEnvSection, "Read Addr", modbusEnv.wReadAddr);
    ok &= w(kModbusEnvSection, "Read Quan", modbusEnv.wReadQuan);
    return store.Flush() && ok;
}
