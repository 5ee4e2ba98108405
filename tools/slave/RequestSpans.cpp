#include "tools/slave/RequestSpans.h"

#include <algorithm>

#include "protocol/FunctionTable.h"
#include "protocol/functions/ReadWriteMultipleRegisters.h"

namespace slave {

namespace {

constexpr int kLastAddress = 0xFFFF;

// A range that runs past the last address is cut there: the device refuses it anyway, and
// no span of a role reaches further.
AddressSpan Span(std::uint16_t start, std::size_t count) {
    const int last = std::min<int>(kLastAddress, start + static_cast<int>(count) - 1);
    return {start, static_cast<std::uint16_t>(std::max<int>(start, last))};
}

}  // namespace

std::vector<AddressSpan> RequestSpans(protocol::PduView request) {
    if (request.empty()) {
        return {};
    }
    if (request[0] == protocol::kReadWriteMultipleRegisters) {
        const auto asked = protocol::ReadReadWriteMultipleRegistersRequest(request);
        if (!asked) {
            return {};
        }
        return {Span(asked->read.start, asked->read.count),
                Span(asked->writeStart, asked->values.size())};
    }
    const protocol::Description described = protocol::DescribePdu(protocol::Role::Request, request);
    if (!described.malformed.empty() || !described.address) {
        return {};
    }
    return {Span(*described.address, described.count.value_or(1))};
}

}  // namespace slave
