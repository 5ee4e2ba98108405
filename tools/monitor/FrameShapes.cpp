#include "tools/monitor/FrameShapes.h"

#include <span>

#include "protocol/FunctionCode.h"
#include "protocol/RtuFrameLength.h"
#include "protocol/functions/Diagnostics.h"

namespace monitor {
namespace {

// Where a diagnostic's sub-function sits in its frame: after the address and the function.
constexpr std::size_t kFunctionAt = 1;
constexpr std::size_t kSubFunctionAt = 2;

bool IsQueryData(const std::uint8_t* frame, std::size_t have) {
    return have >= kSubFunctionAt + 2 && frame[kFunctionAt] == protocol::kDiagnostics &&
           protocol::WordAt(std::span(frame, have), kSubFunctionAt) == protocol::kReturnQueryData;
}

bool LengthUnknown(FrameRole role, const std::uint8_t* frame, std::size_t have) {
    return RtuShape(role, frame, have).fit == FrameShape::Fit::Unknown;
}

}  // namespace

FrameShape RtuShape(FrameRole role, const std::uint8_t* frame, std::size_t have) {
    return protocol::RtuFrameLength(role, std::span(frame, have));
}

bool SilenceMayEnd(const std::uint8_t* frame, std::size_t have) {
    return LengthUnknown(FrameRole::Request, frame, have) ||
           LengthUnknown(FrameRole::Answer, frame, have) || IsQueryData(frame, have);
}

bool FitsShape(FrameRole role, const std::uint8_t* message, std::size_t length) {
    return protocol::RtuMessageFits(role, std::span(message, length));
}

}  // namespace monitor
