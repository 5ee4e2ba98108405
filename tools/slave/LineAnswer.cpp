#include "tools/slave/LineAnswer.h"

#include "tools/slave/AsciiFramer.h"
#include "tools/slave/RtuFramer.h"

namespace slave {

LineAnswer EncodeLineAnswer(const SlaveOptions& options, Bytes message, const AnswerFault& fault) {
    message[0] = static_cast<std::uint8_t>(AnswerAddress(options, message[0], fault.wrongId));
    LineAnswer answer;
    if (options.mode == Framing::Rtu) {
        answer.wire = RtuEncode(message, fault.corrupt);
        answer.logBytes = answer.wire;
        return answer;
    }
    const std::string line = AsciiEncode(message, fault.corrupt);
    answer.wire.assign(line.begin(), line.end());
    answer.asciiText = line.substr(1, line.size() - 3);
    answer.logBytes = AsciiDecode(*answer.asciiText).frame;
    return answer;
}

}  // namespace slave
