// RTU answers of any shape to any request: framing, the CRC, the length and exception tests,
// the address and function tests and the unpacking, with every line fault of the plan.
#include "tests/fuzz/FuzzLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const RequestCase c = TakeRequestCase(input);
    RunCheckedRequest(kFuzzRtu, c, input.Rest());
    return 0;
}
