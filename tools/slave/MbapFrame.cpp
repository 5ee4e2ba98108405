#include "tools/slave/MbapFrame.h"

#include <algorithm>

namespace slave {

MbapScan ScanMbap(const std::uint8_t* data, std::size_t size) {
    MbapScan scan;
    if (size >= 4 && (data[2] != 0 || data[3] != 0)) {
        scan.result = MbapScan::Result::Bad;
        return scan;
    }
    if (size < 6) {
        return scan;
    }
    const std::size_t length = static_cast<std::size_t>(data[4] << 8 | data[5]);
    if (length < kMbapMinLength || length > kMbapMaxLength) {
        scan.result = MbapScan::Result::Bad;
    } else if (size >= 6 + length) {
        scan.result = MbapScan::Result::Whole;
        scan.size = 6 + length;
    }
    return scan;
}

std::uint16_t MbapTransaction(const Bytes& adu) {
    return static_cast<std::uint16_t>(adu[0] << 8 | adu[1]);
}

std::uint8_t MbapUnit(const Bytes& adu) {
    return adu[6];
}

Bytes EncodeMbap(std::uint16_t transaction, std::uint8_t unit, const std::uint8_t* pdu,
                 std::size_t size) {
    const std::size_t length = size + 1;
    Bytes adu(kMbapHeaderSize + size);
    adu[0] = static_cast<std::uint8_t>(transaction >> 8);
    adu[1] = static_cast<std::uint8_t>(transaction & 0xFF);
    adu[4] = static_cast<std::uint8_t>(length >> 8);
    adu[5] = static_cast<std::uint8_t>(length & 0xFF);
    adu[6] = unit;
    std::copy(pdu, pdu + size, adu.begin() + kMbapHeaderSize);
    return adu;
}

}  // namespace slave
