#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/poll/PollOptions.h"

namespace poll {

// One poll as it is printed: what was asked, when, and what came back.
struct PollRecord {
    std::chrono::system_clock::time_point time;
    std::uint8_t slave = 1;
    std::uint8_t function = 3;  // as sent: 1 to 4, or 5, 6, 15, 16 for a write
    std::uint16_t address = 0;
    int referenceBase = 0;  // of the table the address lies in
    std::vector<std::uint16_t>
        values;  // registers, bits as 0 / 1, the values written; empty on failure
    ValueType type = ValueType::Uint16;  // how registers read
    WordOrder order = WordOrder::Abcd;
    bool nameSlave = false;  // every table line says the slave, when a poll asks several
    // What the other functions answer beside registers, in the order printed: {"status",
    // "0x6D"}, {"events", "264"}. valuesAtAddresses is false where the values are no registers
    // at consecutive addresses from address (a FIFO queue, diagnostics data).
    std::vector<std::pair<std::string, std::string>> fields;
    bool valuesAtAddresses = true;
    std::uint16_t code = 0;
    std::string text;
    double exchangeMs = 0;  // from the first try's start to the last one's end
};

// The CSV header line, or nothing for the other formats (newline included). With a type other
// than uint16 it has a column for the type.
std::string FormatHeader(OutputFormat format, ValueType type = ValueType::Uint16);
// A poll in the format, newline included.
std::string FormatRecord(OutputFormat format, const PollRecord& record);

}  // namespace poll
