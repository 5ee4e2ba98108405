#pragma once

#include "protocol/Pdu.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

using protocol::Bytes;

// What a received frame turned out to be once its check was tested.
enum class FrameStatus { Ok, Short, BadCheck, BadHex, Overrun };

struct DecodedFrame {
    FrameStatus status = FrameStatus::Short;
    Bytes frame;    // every byte of the frame, check included (ASCII: the decoded bytes)
    Bytes message;  // address, function and data; filled when status is Ok
};

// The log's note for a status that kept a request from being answered ("" for Ok); the check
// is named after the framing ("bad crc", "bad lrc").
const char* StatusNote(FrameStatus status, Framing mode);

}  // namespace slave
