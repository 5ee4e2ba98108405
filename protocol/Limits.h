#pragma once

#include <cstddef>
#include <cstdint>

namespace protocol {

// Addresses on a serial line: 0 reaches every device and none answers; above 247 is reserved.
constexpr std::uint8_t kBroadcastAddress = 0;
constexpr std::uint8_t kFirstUnitAddress = 1;
constexpr std::uint8_t kLastUnitAddress = 247;

// A PDU is the function code and at most 252 bytes of data.
constexpr std::size_t kMaxPdu = 253;
constexpr std::size_t kMaxPduData = kMaxPdu - 1;

// The counts one request may carry.
constexpr std::uint16_t kMaxReadBits = 2000;
constexpr std::uint16_t kMaxReadRegisters = 125;
constexpr std::uint16_t kMaxWriteBits = 1968;
constexpr std::uint16_t kMaxWriteRegisters = 123;
// Function 23 carries both its read and its write in one frame.
constexpr std::uint16_t kMaxReadWriteReadRegisters = 125;
constexpr std::uint16_t kMaxReadWriteWriteRegisters = 121;
// Function 24 answers at most this many registers of its queue.
constexpr std::uint16_t kMaxFifoCount = 31;
// Functions 20 and 21: the reference type of every sub-request, the highest record number, and
// the byte count of the whole request data, which 252 bytes of PDU data bound.
constexpr std::uint8_t kFileReferenceType = 6;
constexpr std::uint16_t kLastFileRecord = 0x270F;
constexpr std::uint8_t kMinFileByteCount = 7;
constexpr std::uint8_t kMaxFileByteCount = 0xF5;
// Function 12's event log holds the newest 64 events.
constexpr std::size_t kEventLogSize = 64;

// The serial framings: RTU is the address, the PDU and a 2-byte CRC; ASCII carries the address,
// the PDU and the LRC as hex digit pairs between ':' and CR LF.
constexpr std::size_t kRtuCheckSize = 2;
constexpr std::size_t kMinRtuFrame = 1 + 1 + kRtuCheckSize;
constexpr std::size_t kMaxRtuFrame = 1 + kMaxPdu + kRtuCheckSize;
constexpr std::size_t kMaxAsciiFrame = 1 + 2 * (1 + kMaxPdu + 1) + 2;
// The characters between ':' and CR LF.
constexpr std::size_t kMaxAsciiText = kMaxAsciiFrame - 3;

// Modbus TCP's header: transaction id, protocol id 0, length, unit id. The length field counts
// the unit id and the PDU.
constexpr std::size_t kMbapHeaderSize = 7;
constexpr std::uint16_t kMbapMinLength = 2;
constexpr std::uint16_t kMbapMaxLength = 1 + kMaxPdu;
constexpr std::size_t kMaxMbapFrame = kMbapHeaderSize - 1 + kMbapMaxLength;

}  // namespace protocol
