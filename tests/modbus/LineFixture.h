#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "modbus/LocalModbus.h"
#include "tests/modbus/Frames.h"
#include "tests/modbus/ScriptedPort.h"

// A master over a scripted port that the test keeps a handle on.
class LineTest : public ::testing::Test {
protected:
    std::unique_ptr<CScriptedPort> owned = std::make_unique<CScriptedPort>();
    CScriptedPort& port = *owned;
    CLocalModbus master{std::move(owned)};
    WordArray values = WordArray(1);

    void OpenLine(std::uint16_t mode) {
        master.SetMode(mode);
        master.SetTimeout(30);
        ASSERT_TRUE(master.Open(1, 9600, 0));
    }
    std::uint16_t ReadOne() { return master.ReadHoldingRegisters(1, 0, 1, values); }
    // Transact of the 6-byte read request 01 03 00 00 00 01.
    std::uint16_t Exchange(std::uint16_t expected, ByteArray& response,
                           std::uint16_t* received = nullptr) {
        ByteArray request{1, 3, 0, 0, 0, 1};
        return master.Transact(request, 6, response, expected, received);
    }
};

inline const Bytes kAnswer1234{0x01, 0x03, 0x02, 0x12, 0x34, 0xB5, 0x33};
