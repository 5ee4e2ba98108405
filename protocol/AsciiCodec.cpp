#include "protocol/AsciiCodec.h"

#include "protocol/Lrc.h"

namespace protocol {
namespace {

constexpr std::size_t kLeastBytes = 3;  // address, function, LRC

std::optional<std::uint8_t> Nibble(char digit) {
    if (digit >= 'a' && digit <= 'f') {
        digit = static_cast<char>(digit - 'a' + 'A');
    }
    if ((digit >= '0' && digit <= '9') || (digit >= 'A' && digit <= 'F')) {
        return HexDigitToNibble(digit);
    }
    return std::nullopt;
}

}  // namespace

Bytes AsciiWrap(const std::uint8_t* message, std::size_t length) {
    Bytes frame;
    frame.reserve(2 * length + 5);
    frame.push_back(kAsciiStart);
    const auto put = [&frame](std::uint8_t byte) {
        frame.push_back(static_cast<std::uint8_t>(NibbleToHexDigit(byte >> 4)));
        frame.push_back(static_cast<std::uint8_t>(NibbleToHexDigit(byte & 0x0F)));
    };
    for (std::size_t i = 0; i < length; ++i) {
        put(message[i]);
    }
    put(ComputeLrc(message, length));
    frame.push_back(kAsciiCr);
    frame.push_back(kAsciiLf);
    return frame;
}

AsciiText AsciiUnwrap(std::string_view text) {
    AsciiText decoded;
    if (text.size() % 2 != 0) {
        decoded.status = AsciiText::Status::BadHex;
        return decoded;
    }
    for (std::size_t at = 0; at < text.size(); at += 2) {
        const auto high = Nibble(text[at]);
        const auto low = Nibble(text[at + 1]);
        if (!high || !low) {
            decoded.status = AsciiText::Status::BadHex;
            decoded.bytes.clear();
            return decoded;
        }
        decoded.bytes.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
    }
    if (decoded.bytes.size() < kLeastBytes) {
        decoded.status = AsciiText::Status::Short;
        return decoded;
    }
    const std::size_t length = decoded.bytes.size() - 1;
    if (ComputeLrc(decoded.bytes.data(), length) != decoded.bytes.back()) {
        decoded.status = AsciiText::Status::BadCheck;
        return decoded;
    }
    decoded.status = AsciiText::Status::Ok;
    decoded.message.assign(decoded.bytes.begin(), decoded.bytes.end() - 1);
    return decoded;
}

}  // namespace protocol
