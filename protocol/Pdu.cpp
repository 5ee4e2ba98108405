#include "protocol/Pdu.h"

namespace protocol {

Words WordsAt(PduView pdu, std::size_t at, std::size_t count) {
    Words words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = WordAt(pdu, at + 2 * i);
    }
    return words;
}

std::size_t BitBytes(std::size_t bits) {
    return (bits + 7) / 8;
}

Bytes PackBits(const Bytes& bits) {
    Bytes packed(BitBytes(bits.size()), 0);
    for (std::size_t j = 0; j < bits.size(); ++j) {
        if (bits[j] != 0) {
            packed[j / 8] = static_cast<std::uint8_t>(packed[j / 8] | 1u << (j % 8));
        }
    }
    return packed;
}

Bytes UnpackBits(PduView packed, std::size_t bits) {
    Bytes unpacked(bits, 0);
    for (std::size_t j = 0; j < bits; ++j) {
        unpacked[j] = (packed[j / 8] >> (j % 8)) & 1;
    }
    return unpacked;
}

Bytes ExceptionPdu(std::uint8_t function, std::uint8_t code) {
    return {static_cast<std::uint8_t>(function | kExceptionFlag), code};
}

}  // namespace protocol
