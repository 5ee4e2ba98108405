#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "modbus/Crc16.h"
#include "modbus/LocalModbus.h"
#include "tests/modbus/ScriptedPort.h"

// A master over a scripted port that the test keeps a handle on.
class LineTest : public ::testing::Test {
protected:
    std::unique_ptr<CScriptedPort> owned = std::make_unique<CScriptedPort>();
    CScriptedPort& port = *owned;
    CLocalModbus master{std::move(owned)};

    void OpenLine(std::uint16_t mode) {
        master.SetMode(mode);
        master.SetTimeout(30);
        ASSERT_TRUE(master.Open(1, 9600, 0));
    }
};

inline Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = CCrc16::Compute(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}
