#include "protocol/RtuFrameLength.h"

#include "protocol/Limits.h"

namespace protocol {
namespace {

constexpr std::size_t kAddressSize = 1;

}  // namespace

PduLength RtuFrameLength(Role role, std::span<const std::uint8_t> have) {
    if (!have.empty() && have[0] > kLastUnitAddress) {
        return PduLength::None();
    }
    const PduLength pdu = LengthOf(role, have.empty() ? have : have.subspan(kAddressSize));
    switch (pdu.fit) {
        case PduLength::Fit::Length:
            return PduLength::Of(kAddressSize + pdu.length + kRtuCheckSize);
        case PduLength::Fit::NeedMore:
            return PduLength::NeedMore(kAddressSize + pdu.length);
        case PduLength::Fit::Unknown:
        case PduLength::Fit::None:
        default:
            return pdu;
    }
}

bool RtuMessageFits(Role role, std::span<const std::uint8_t> message) {
    const PduLength length = RtuFrameLength(role, message);
    return length.fit == PduLength::Fit::Length && length.length == message.size() + kRtuCheckSize;
}

}  // namespace protocol
