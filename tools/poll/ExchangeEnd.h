#pragma once

#include <cstdint>

// How an exchange ended, as the scan and the detection read the master's result codes.
namespace poll {

// A checked answer came back: a normal one or an exception.
bool Answered(std::uint16_t code);
// The line itself failed: every later exchange would fail the same way.
bool LineLost(std::uint16_t code);

}  // namespace poll
