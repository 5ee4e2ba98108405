#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/poll/PollOptions.h"

class CModbus;

namespace poll {

struct IdentityItem {
    std::string name;   // "VendorName", "object 0x80", "slave id"
    std::string value;  // printable: other bytes as \xNN
};

struct Identity {
    std::vector<IdentityItem> items;  // empty when nothing was identified
    std::uint16_t code = 0;           // the master's result that ended it, for the failure text
};

// Reads the basic, regular and extended objects of function 43; a slave that does not know
// it (exception 1 or no answer) is asked by function 17 instead.
Identity Identify(CModbus& master, std::uint8_t slave);

// One line per item; csv and json one row or object per item, newline included.
std::string FormatIdentity(OutputFormat format, std::uint8_t slave, const Identity& identity);
std::string FormatIdentityHeader(OutputFormat format);

// Bytes as text, with backslash and what is not printable ASCII as \xNN.
std::string PrintableText(const std::vector<std::uint8_t>& bytes);

}  // namespace poll
