#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/slave/SlaveChecks.h"

namespace slave {

// Transaction id, protocol id, length, unit id: what precedes the PDU in a Modbus TCP/UDP ADU.
constexpr std::size_t kMbapHeaderSize = 7;
// The length field counts the unit id and the PDU, which is a function and at most 252 bytes.
constexpr std::size_t kMbapMinLength = 2;
constexpr std::size_t kMbapMaxLength = 254;
constexpr std::size_t kMbapMaxAdu = 6 + kMbapMaxLength;

struct MbapScan {
    enum class Result { NeedMore, Bad, Whole };
    Result result = Result::NeedMore;
    std::size_t size = 0;  // for Whole: the bytes of the first ADU
};

// Looks at the start of a byte stream: a header that cannot be Modbus (protocol id not 0, a
// length out of range) is Bad as soon as its bytes are there.
MbapScan ScanMbap(const std::uint8_t* data, std::size_t size);

std::uint16_t MbapTransaction(const Bytes& adu);
std::uint8_t MbapUnit(const Bytes& adu);

// An ADU with protocol id 0 around the PDU.
Bytes EncodeMbap(std::uint16_t transaction, std::uint8_t unit, const std::uint8_t* pdu,
                 std::size_t size);

}  // namespace slave
