#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/Pdu.h"

namespace protocol {

// Modbus TCP's application data unit: transaction id, protocol id 0, length (the unit id and
// the PDU), unit id, the PDU, no check.
constexpr std::size_t kMbapLengthAt = 4;
constexpr std::size_t kMbapUnitAt = 6;

struct MbapHeader {
    std::uint16_t transaction = 0;
    std::uint16_t protocolId = 0;
    std::uint16_t length = 0;
    std::uint8_t unit = 0;
};

Bytes MbapWrap(std::uint16_t transaction, std::uint8_t unit, const std::uint8_t* pdu,
               std::size_t size);
// The header of data[0, kMbapHeaderSize), which the caller has.
MbapHeader ReadMbapHeader(const std::uint8_t* data);

// Where the first ADU of a byte stream ends.
struct MbapScan {
    enum class Result : std::uint8_t { NeedMore, Bad, Whole };
    Result result = Result::NeedMore;
    std::size_t size = 0;  // for Whole: the bytes of the first ADU
};
// A header that cannot be Modbus (protocol id not 0, a length out of range) is Bad as soon as
// its bytes are there.
MbapScan ScanMbap(const std::uint8_t* data, std::size_t size);

}  // namespace protocol
