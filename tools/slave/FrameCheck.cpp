#include "tools/slave/FrameCheck.h"

namespace slave {

const char* StatusNote(FrameStatus status, Framing mode) {
    switch (status) {
        case FrameStatus::Ok:
            return "";
        case FrameStatus::Short:
            return "short";
        case FrameStatus::BadCheck:
            return mode == Framing::Rtu ? "bad crc" : "bad lrc";
        case FrameStatus::BadHex:
            return "bad hex";
        case FrameStatus::Overrun:
            return "overrun";
    }
    return "";
}

}  // namespace slave
