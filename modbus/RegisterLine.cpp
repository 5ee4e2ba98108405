#include "modbus/RegisterLine.h"

#include <charconv>
#include <string_view>
#include <system_error>

namespace {

// Appends like "%04x" (lower case, at least four digits) and "%d". A list rebuild formats up
// to 125 lines per cycle; this is several times quicker than a printf-style format.
char* AppendHex4(char* out, char* end, unsigned value) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, 16);
    for (std::ptrdiff_t pad = 4 - (r.ptr - digits); pad > 0 && out < end; --pad)
        *out++ = '0';
    for (const char* d = digits; d < r.ptr && out < end; ++d)
        *out++ = *d;
    return out;
}

char* AppendDecimal(char* out, char* end, long long value) {
    const auto r = std::to_chars(out, end, value);
    return r.ec == std::errc() ? r.ptr : out;
}

char* AppendText(char* out, char* end, std::string_view text) {
    for (char c : text) {
        if (out == end)
            break;
        *out++ = c;
    }
    return out;
}

}  // namespace

int ReferenceBaseOf(std::uint8_t function) {
    switch (function) {
        case 1:
            return kReferenceBaseCoils;
        case 2:
            return kReferenceBaseDiscreteInputs;
        case 3:
            return kReferenceBaseHoldingRegisters;
        case 4:
            return kReferenceBaseInputRegisters;
        default:
            return 0;
    }
}

std::size_t FormatRegisterLine(char (&out)[kRegisterLineCapacity], std::uint16_t startAddress,
                               int index, int referenceBase, std::uint16_t value) {
    const int address = static_cast<int>(startAddress) + index;
    char* const end = out + kRegisterLineCapacity;
    char* at = AppendText(out, end, "[Address : 0x");
    at = AppendHex4(at, end, static_cast<unsigned>(address));
    at = AppendText(at, end, " / ");
    at = AppendDecimal(at, end, static_cast<long long>(address) + referenceBase);
    at = AppendText(at, end, " ] = 0x");
    at = AppendHex4(at, end, value);
    at = AppendText(at, end, ", ");
    at = AppendDecimal(at, end, value);
    return static_cast<std::size_t>(at - out);
}

std::string FormatRegisterLine(std::uint16_t startAddress, int index, int referenceBase,
                               std::uint16_t value) {
    char line[kRegisterLineCapacity];
    return {line, FormatRegisterLine(line, startAddress, index, referenceBase, value)};
}
