#include "tools/monitor/FrameValues.h"

#include <span>

namespace monitor {
namespace {

// The PDU follows the address.
constexpr std::size_t kPduAt = 1;

}  // namespace

protocol::Description DescribeFrame(protocol::Role role, const Bytes& message,
                                    const protocol::Description* request, MonitorRecord& record) {
    const protocol::PduView pdu =
        message.size() > kPduAt ? std::span(message).subspan(kPduAt) : protocol::PduView{};
    protocol::Description description = protocol::DescribePdu(role, pdu, request);
    if (role == protocol::Role::Request) {
        record.address = description.address;
        record.count = description.count;
    }
    record.values = description.values;
    record.bitValues = description.bitValues;
    record.fields = description.fields;
    if (!description.malformed.empty()) {
        record.error = "malformed: " + description.malformed;
    }
    return description;
}

}  // namespace monitor
