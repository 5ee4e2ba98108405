#include "tools/slave/SlaveDevice.h"

#include <algorithm>

#include "protocol/DeviceServing.h"
#include "protocol/Limits.h"

namespace slave {

namespace {

constexpr std::size_t kAddressAt = 0;
constexpr std::size_t kPduAt = 1;

}  // namespace

SlaveReply CSlaveDevice::Hear(const DecodedFrame& frame, std::uint64_t elapsedMs) {
    if (frame.status == FrameStatus::Ok) {
        return Handle(frame.message, elapsedMs);
    }
    Misheard(frame.status);
    SlaveReply reply;
    reply.kind = SlaveReply::Kind::Misheard;
    return reply;
}

SlaveReply CSlaveDevice::Handle(const Bytes& message, std::uint64_t elapsedMs,
                                std::optional<std::uint8_t> exception) {
    SlaveReply reply;
    if (message.size() < kPduAt + 1) {
        reply.kind = SlaveReply::Kind::Short;
        return reply;
    }
    const std::uint8_t address = message[kAddressAt];
    const bool broadcast = address == protocol::kBroadcastAddress;
    protocol::CDeviceDiagnostics& diagnostics = m_model.Diagnostics();
    if (!broadcast && std::find(m_ids.begin(), m_ids.end(), address) == m_ids.end()) {
        diagnostics.MessageHeard(false, false);
        reply.kind = SlaveReply::Kind::OtherId;
        return reply;
    }
    m_model.SetElapsed(elapsedMs);
    const protocol::PduView pdu(message.data() + kPduAt, message.size() - kPduAt);
    const std::uint8_t function = pdu[0];
    if (std::find(m_refused.begin(), m_refused.end(), function) != m_refused.end()) {
        exception = protocol::kIllegalFunction;
    }
    const std::optional<Bytes> answer =
        exception ? Refused(function, *exception, broadcast)
                  : protocol::ServeAsDevice(pdu, m_model, address, broadcast);
    if (broadcast) {
        reply.kind = SlaveReply::Kind::Broadcast;
        return reply;
    }
    if (!answer) {
        reply.kind = SlaveReply::Kind::Unanswered;
        return reply;
    }
    reply.kind = SlaveReply::Kind::Answer;
    reply.answer.reserve(kPduAt + answer->size());
    reply.answer.push_back(address);
    reply.answer.insert(reply.answer.end(), answer->begin(), answer->end());
    return reply;
}

// Kept as ServeAsDevice keeps a request, for a function the table would have served.
std::optional<Bytes> CSlaveDevice::Refused(std::uint8_t function, std::uint8_t exception,
                                           bool broadcast) {
    protocol::CDeviceDiagnostics& diagnostics = m_model.Diagnostics();
    diagnostics.MessageHeard(true, broadcast);
    std::optional<Bytes> answer;
    if (!diagnostics.ListenOnly()) {
        answer = protocol::ExceptionPdu(function, exception);
    }
    diagnostics.Answered(function, answer, broadcast);
    return broadcast ? std::nullopt : answer;
}

bool CSlaveDevice::Answers(int address) const {
    return std::find(m_ids.begin(), m_ids.end(), address) != m_ids.end();
}

void CSlaveDevice::Misheard(FrameStatus status) {
    switch (status) {
        case FrameStatus::Ok:
            return;
        case FrameStatus::Overrun:
            m_model.Diagnostics().CharacterOverrun();
            return;
        case FrameStatus::Short:
        case FrameStatus::BadCheck:
        case FrameStatus::BadHex:
            // Too short to carry a check, or no hex to take one from: the check cannot pass.
            m_model.Diagnostics().CheckError();
            return;
    }
}

}  // namespace slave
