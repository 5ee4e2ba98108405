#pragma once

#include <cstdint>

#include "modbus/LocalModbus.h"
#include "tests/fuzz/FuzzInput.h"
#include "tests/modbus/Frames.h"
#include "tests/modbus/ScriptedPort.h"

constexpr std::uint16_t kFuzzRtu = 0;
constexpr std::uint16_t kFuzzAscii = 1;

// A master over a scripted port, opened once and kept for the whole run of a fuzz target.
struct FuzzLine {
    CScriptedPort* port;
    CLocalModbus* master;
};
FuzzLine TheLine(std::uint16_t mode);

// What the master must make of what the port delivered, worked out from the framing rules
// alone: the result code and, on success, the answer's address, function and data.
struct FramingVerdict {
    std::uint16_t code = 0;
    Bytes message;
};
FramingVerdict JudgeRtu(const CScriptedPort& port, std::uint16_t expectedLength);
FramingVerdict JudgeAscii(const CScriptedPort& port, std::uint16_t expectedLength);

// One request of the six, or an open-length Transact, as the input chooses it.
struct RequestCase {
    std::uint8_t op = 0;  // 0-5: function code - 1; 6: Transact with an open length
    std::uint8_t slave = 0;
    std::uint16_t start = 0;
    std::uint16_t quantity = 0;  // or the value written
    std::uint8_t arraySize = 0;  // picks the caller's array size around the quantity
    std::uint8_t cut = 0;        // where a silence splits the answer
    std::uint8_t plan = 0;       // how the line behaves around it (kPlan* in FuzzLine.cpp)
};
RequestCase TakeRequestCase(FuzzInput& input);
std::uint8_t FunctionOf(const RequestCase& c);
// The answer's length without its check, as the master expects it (0 for the open length).
std::size_t AnswerLengthOf(const RequestCase& c);

// Issues the request on the line with the answer scripted, and checks every outcome against
// the verdicts above and the unpacking rules. A mismatch prints the case and aborts, which
// both fuzz drivers report as a finding.
void RunCheckedRequest(std::uint16_t mode, const RequestCase& c, const Bytes& answer);

// Aborts with the message when the condition fails.
void FuzzCheck(bool condition, const char* what);
