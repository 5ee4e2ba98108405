#pragma once

#include <cstddef>
#include <cstdint>

namespace monitor {

// Addresses above are reserved and never on a bus.
constexpr std::uint8_t kLastSlave = 247;

// An RTU frame: address, function, at most 252 bytes of data, CRC.
constexpr std::size_t kMaxRtuFrame = 256;
constexpr std::size_t kRtuCheckSize = 2;
// Address, function and CRC: nothing shorter is a frame.
constexpr std::size_t kMinRtuFrame = 4;

// The function codes whose frames have a shape the monitor knows.
enum Function : std::uint8_t {
    kReadCoils = 1,
    kReadDiscreteInputs = 2,
    kReadHoldingRegisters = 3,
    kReadInputRegisters = 4,
    kWriteCoil = 5,
    kWriteRegister = 6,
    kReadExceptionStatus = 7,
    kDiagnostics = 8,
    kCommEventCounter = 11,
    kCommEventLog = 12,
    kWriteCoils = 15,
    kWriteRegisters = 16,
    kReportServerId = 17,
    kReadFileRecord = 20,
    kWriteFileRecord = 21,
    kMaskWriteRegister = 22,
    kReadWriteRegisters = 23,
    kReadFifoQueue = 24,
    kEncapsulated = 43,
};

enum class FrameRole { Request, Answer };

// What a frame's first bytes tell of its whole RTU length, CRC included.
struct FrameShape {
    enum class Fit {
        Length,    // the frame is `length` bytes long
        NeedMore,  // the bytes that tell the length have not all come
        Unknown,   // the function's frames have no shape known here: only a silence ends them
        None,      // not a frame: a reserved address or function, an impossible length
    };
    Fit fit = Fit::None;
    std::size_t length = 0;
};

// The shape of a request or an answer (exceptions included) from its first `have` bytes.
FrameShape RtuShape(FrameRole role, const std::uint8_t* frame, std::size_t have);
// Diagnostics echo whatever data their sub-function carries: when their usual shape fails, a
// silence may still end them, as it ends frames of unknown functions.
bool SilenceMayEnd(const std::uint8_t* frame, std::size_t have);
// Whether a message (address to data, without its check) has the role's shape.
bool FitsShape(FrameRole role, const std::uint8_t* message, std::size_t length);

}  // namespace monitor
