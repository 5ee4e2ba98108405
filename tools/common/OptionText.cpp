#include "tools/common/OptionText.h"

#include <cctype>
#include <charconv>

#include "lines/SerialPort.h"

namespace poll {

const std::pair<std::string_view, std::uint8_t> kParities[3] = {
    {"none", kParityNone}, {"even", kParityEven}, {"odd", kParityOdd}};
const std::pair<std::string_view, std::uint8_t> kStopBitCounts[2] = {{"1", kStopBitsOne},
                                                                     {"2", kStopBitsTwo}};
const std::pair<std::string_view, OutputFormat> kFormats[3] = {
    {"table", OutputFormat::Table}, {"csv", OutputFormat::Csv}, {"json", OutputFormat::Json}};

std::optional<std::uint32_t> ParseDigits(std::string_view text, int base) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> ParseDecimal(std::string_view text, std::uint32_t low,
                                          std::uint32_t high) {
    const auto value = ParseDigits(text, 10);
    return value && *value >= low && *value <= high ? value : std::nullopt;
}

int ComPortNumber(const std::string& port) {
    if (port.size() < 4 || std::toupper(static_cast<unsigned char>(port[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(port[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(port[2])) != 'M') {
        return 0;
    }
    const auto n = ParseDigits(std::string_view(port).substr(3), 10);
    if (!n) {
        return 0;
    }
    return *n >= 1 && *n <= 16 ? static_cast<int>(*n) : -1;
}

}  // namespace poll
