#include "protocol/MbapCodec.h"

#include <algorithm>

#include "protocol/Limits.h"

namespace protocol {
namespace {

constexpr std::size_t kProtocolIdAt = 2;
constexpr std::size_t kLengthEnd = kMbapLengthAt + 2;

std::uint16_t Word(const std::uint8_t* data, std::size_t at) {
    return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
}

}  // namespace

Bytes MbapWrap(std::uint16_t transaction, std::uint8_t unit, const std::uint8_t* pdu,
               std::size_t size) {
    Bytes adu;
    adu.reserve(kMbapHeaderSize + size);
    PutWord(adu, transaction);
    PutWord(adu, 0);
    PutWord(adu, static_cast<std::uint16_t>(size + 1));
    adu.push_back(unit);
    adu.insert(adu.end(), pdu, pdu + size);
    return adu;
}

MbapHeader ReadMbapHeader(const std::uint8_t* data) {
    return {Word(data, 0), Word(data, kProtocolIdAt), Word(data, kMbapLengthAt), data[kMbapUnitAt]};
}

MbapScan ScanMbap(const std::uint8_t* data, std::size_t size) {
    MbapScan scan;
    if (size >= kLengthEnd - 2 && Word(data, kProtocolIdAt) != 0) {
        scan.result = MbapScan::Result::Bad;
        return scan;
    }
    if (size < kLengthEnd) {
        return scan;
    }
    const std::size_t length = Word(data, kMbapLengthAt);
    if (length < kMbapMinLength || length > kMbapMaxLength) {
        scan.result = MbapScan::Result::Bad;
    } else if (size >= kLengthEnd + length) {
        scan.result = MbapScan::Result::Whole;
        scan.size = kLengthEnd + length;
    }
    return scan;
}

}  // namespace protocol
