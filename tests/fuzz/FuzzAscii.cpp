// ASCII answers of any text to any request: the end of frame, the buffer bound, hex decoding,
// the LRC and exception tests, then the same request checks as RTU.
#include "tests/fuzz/FuzzLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const RequestCase c = TakeRequestCase(input);
    RunCheckedRequest(kFuzzAscii, c, input.Rest());
    return 0;
}
