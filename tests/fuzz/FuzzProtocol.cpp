// The function table under whatever a peer may send: the first byte picks the side, the rest
// is a PDU. Lengths stay within one PDU and never change their mind as more bytes come; the
// description of any PDU is bounded; and whatever a device answers keeps its own function's
// rules, so the simulator never sends what the master or the monitor would call broken.
#include <cstdint>
#include <vector>

#include "protocol/DeviceServing.h"
#include "protocol/FunctionTable.h"
#include "protocol/Limits.h"
#include "tests/fuzz/FuzzLine.h"
#include "tests/protocol/ExampleModel.h"

namespace {

using protocol::PduLength;
using protocol::Role;

// A device with a little of everything, so that requests reach the serving code.
CExampleModel SmallDevice() {
    CExampleModel model;
    for (std::uint16_t a = 0; a < 64; ++a) {
        model.coils[a] = a % 3 == 0;
        model.discreteInputs[a] = a % 2;
        model.holding[a] = static_cast<std::uint16_t>(a * 257);
        model.input[a] = static_cast<std::uint16_t>(0xFFFF - a);
    }
    model.fifos[0] = {1, 2, 3};
    model.fifos[1] = protocol::Words(32, 7);  // one more than an answer carries
    for (std::uint16_t r = 0; r < 16; ++r) {
        model.fileRecords[{1, r}] = r;
    }
    model.identity.objects = {{0, "V"}, {1, "P"}, {2, "1"}, {0x80, std::string(240, 'x')}};
    return model;
}

void CheckLengths(Role role, protocol::PduView pdu) {
    std::size_t known = 0;
    for (std::size_t have = 1; have <= pdu.size(); ++have) {
        const PduLength length = protocol::LengthOf(role, pdu.first(have));
        if (length.fit == PduLength::Fit::NeedMore) {
            FuzzCheck(length.length > have, "a PDU that needs more asks for more than it has");
            FuzzCheck(known == 0, "a length once known stays known");
        } else if (length.fit == PduLength::Fit::Length) {
            FuzzCheck(length.length >= 1 && length.length <= protocol::kMaxPdu,
                      "a length lies within one PDU");
            FuzzCheck(known == 0 || known == length.length, "a length once known stays the same");
            known = length.length;
        }
    }
}

void CheckAnswer(protocol::PduView request, const protocol::Bytes& answer) {
    FuzzCheck(!answer.empty() && answer.size() <= protocol::kMaxPdu, "an answer fits one PDU");
    const auto code = [](std::uint8_t function) {
        return static_cast<std::uint8_t>(function & ~protocol::kExceptionFlag);
    };
    FuzzCheck(code(answer[0]) == code(request[0]), "an answer carries the request's function");
    const PduLength length = protocol::LengthOf(Role::Answer, answer);
    FuzzCheck(length.fit != PduLength::Fit::Length || length.length == answer.size(),
              "an answer is as long as its fields say");
    const protocol::Description asked = protocol::DescribePdu(Role::Request, request);
    const protocol::Description said = protocol::DescribePdu(Role::Answer, answer, &asked);
    FuzzCheck(said.malformed.empty(), "a device's answer keeps its function's rules");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const Role role = (data[0] & 1) != 0 ? Role::Answer : Role::Request;
    const protocol::PduView pdu(data + 1, std::min<std::size_t>(size - 1, protocol::kMaxPdu));
    CheckLengths(role, pdu);
    const protocol::Description described = protocol::DescribePdu(role, pdu);
    FuzzCheck(described.values.size() <= 8 * protocol::kMaxPdu, "a description is bounded");
    if (role == Role::Request) {
        CExampleModel model = SmallDevice();
        if (const auto answer = protocol::ServeAsDevice(pdu, model, 1, false)) {
            CheckAnswer(pdu, *answer);
        }
    }
    return 0;
}
