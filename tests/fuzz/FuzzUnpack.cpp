// Answers that pass every framing test, so that each input reaches the unpacking of
// registers and bits: any byte count, any data, any quantity a frame can carry, and caller's
// arrays shorter or longer than the quantity.
#include <algorithm>

#include "tests/fuzz/FuzzLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    RequestCase c = TakeRequestCase(input);
    const std::uint16_t mode = (c.plan & 0x80) != 0 ? kFuzzAscii : kFuzzRtu;
    c.op = static_cast<std::uint8_t>(c.op % 4);  // the four reads
    c.plan = 0;
    // Most that one frame carries: 253 registers or 507 data bytes in RTU's 512, fewer in
    // ASCII's 1024 characters.
    const bool bits = c.op < 2;
    const std::uint16_t most = mode == kFuzzAscii ? (bits ? 4048 : 253) : (bits ? 4056 : 253);
    // Short answers mostly, which are quick; one input in 256 fills up to the whole frame.
    c.quantity = static_cast<std::uint16_t>(c.quantity >= 0xFF00 ? c.quantity % (most + 1)
                                                                 : c.quantity % 64);
    const std::uint8_t byteCount = input.Byte();
    Bytes message{c.slave, FunctionOf(c), byteCount};
    Bytes payload = input.Rest();
    payload.resize(AnswerLengthOf(c) - 3, 0);
    message.insert(message.end(), payload.begin(), payload.end());
    const Bytes frame = mode == kFuzzAscii ? AsciiFramed(message) : WithCrc(message);
    RunCheckedRequest(mode, c, frame);
    return 0;
}
