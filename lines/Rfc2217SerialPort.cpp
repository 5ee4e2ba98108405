#include "lines/Rfc2217SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

using namespace telnet;

namespace {

enum class ControlGroup { Flow, Dtr, Rts, Other };

// SET-CONTROL carries several settings; its answer tells by its value which one it answers.
ControlGroup GroupOf(std::uint8_t value) {
    if ((value >= 1 && value <= 3) || (value >= 17 && value <= 19)) {
        return ControlGroup::Flow;
    }
    if (value >= 7 && value <= 9) {
        return ControlGroup::Dtr;
    }
    if (value >= 10 && value <= 12) {
        return ControlGroup::Rts;
    }
    return ControlGroup::Other;
}

bool WeSpeak(std::uint8_t option) {
    return option == kOptionBinary || option == kOptionSuppressGoAhead || option == kOptionComPort;
}

bool TheyMaySpeak(std::uint8_t option) {
    return option == kOptionBinary || option == kOptionSuppressGoAhead;
}

std::string ValueText(std::uint8_t command, const std::vector<std::uint8_t>& value) {
    if (command == kSetBaudRate && value.size() == 4) {
        const std::uint32_t baud = (std::uint32_t{value[0]} << 24) |
                                   (std::uint32_t{value[1]} << 16) |
                                   (std::uint32_t{value[2]} << 8) | value[3];
        return std::to_string(baud);
    }
    return value.empty() ? std::string("nothing") : std::to_string(value[0]);
}

}  // namespace

std::string CRfc2217SerialPort::Where() const {
    return Host() + " port " + PortText();
}

void CRfc2217SerialPort::SendNow(const std::vector<std::uint8_t>& wire) {
    // A failure marks the connection lost; the next transfer reports it.
    (void)SendAll(wire, true, Clock::now() + std::chrono::milliseconds(kAnswerBoundMs));
}

bool CRfc2217SerialPort::Handshake(Clock::time_point deadline) {
    m_decoder.Reset();
    m_comPort = ComPort::Asked;
    m_bLocal.fill(false);
    m_bRemote.fill(false);
    m_bAskedLocal.fill(false);
    m_bAskedRemote.fill(false);
    m_bAnsweredLocal.fill(false);
    m_bAnsweredRemote.fill(false);
    m_pending.clear();
    m_notes.clear();
    std::vector<std::uint8_t> wire;
    for (const std::uint8_t option : {kOptionComPort, kOptionBinary, kOptionSuppressGoAhead}) {
        m_bAskedLocal[option] = true;
        const auto will = Negotiation(kWill, option);
        wire.insert(wire.end(), will.begin(), will.end());
    }
    for (const std::uint8_t option : {kOptionBinary, kOptionSuppressGoAhead}) {
        m_bAskedRemote[option] = true;
        const auto doIt = Negotiation(kDo, option);
        wire.insert(wire.end(), doIt.begin(), doIt.end());
    }
    if (!SendAll(wire, true, deadline) ||
        !ReceiveUntil([this] { return m_comPort != ComPort::Asked; }, deadline)) {
        const int error = LastError();
        return Fail(error, "the connection to " + Where() +
                               " failed while negotiating: " + std::strerror(error));
    }
    switch (m_comPort) {
        case ComPort::Accepted:
            return true;
        case ComPort::Refused:
            return Fail(EPROTONOSUPPORT, Where() +
                                             " refuses Telnet COM Port Control (RFC 2217); for "
                                             "a raw TCP port use socket://");
        case ComPort::Asked:
            break;
    }
    const std::uint64_t dropped = DroppedBytes();
    const std::string instead = dropped == 0 ? std::string()
                                             : " (it sent line data instead, " +
                                                   std::to_string(dropped) + " bytes dropped)";
    return Fail(ETIMEDOUT, "no Telnet COM Port Control (RFC 2217) answer from " + Where() +
                               " within " + std::to_string(kOpenBoundMs) + " ms" + instead +
                               "; for a raw TCP port use socket://");
}

void CRfc2217SerialPort::Answer(std::uint8_t verb, std::uint8_t option) {
    // One answer per option and side for the whole connection: a server that asks again and
    // again cannot make us send an answer per request.
    std::array<bool, 256>& answered =
        verb == kWill || verb == kWont ? m_bAnsweredLocal : m_bAnsweredRemote;
    if (!answered[option]) {
        answered[option] = true;
        SendNow(Negotiation(verb, option));
    }
}

void CRfc2217SerialPort::OnNegotiation(std::uint8_t verb, std::uint8_t option) {
    // Only a change of state is answered, and never a request we made ourselves, so that two
    // ends never bounce the same option back and forth.
    switch (verb) {
        case kDo:
            if (!WeSpeak(option)) {
                Answer(kWont, option);
            } else if (!m_bLocal[option]) {
                m_bLocal[option] = true;
                if (!m_bAskedLocal[option]) {
                    Answer(kWill, option);
                }
            }
            m_bAskedLocal[option] = false;
            if (option == kOptionComPort) {
                m_comPort = ComPort::Accepted;
            }
            break;
        case kDont:
            if (m_bLocal[option]) {
                m_bLocal[option] = false;
                Answer(kWont, option);
            }
            m_bAskedLocal[option] = false;
            if (option == kOptionComPort) {
                m_comPort = ComPort::Refused;
            }
            break;
        case kWill:
            if (!TheyMaySpeak(option)) {
                Answer(kDont, option);
            } else if (!m_bRemote[option]) {
                m_bRemote[option] = true;
                if (!m_bAskedRemote[option]) {
                    Answer(kDo, option);
                }
            }
            m_bAskedRemote[option] = false;
            break;
        case kWont:
            if (m_bRemote[option]) {
                m_bRemote[option] = false;
                Answer(kDont, option);
            }
            m_bAskedRemote[option] = false;
            break;
        default:
            break;
    }
}

void CRfc2217SerialPort::Decode(const std::uint8_t* raw, std::size_t count) {
    m_data.clear();
    m_events.clear();
    m_decoder.Feed(raw, count, m_data, m_events);
    AppendReceived(m_data.data(), m_data.size());
    for (const Event& e : m_events) {
        if (e.kind == Event::Kind::Negotiation) {
            OnNegotiation(e.verb, e.option);
        } else if (e.option == kOptionComPort && !e.payload.empty() &&
                   e.payload[0] > kServerReply) {
            OnComPortAnswer(static_cast<std::uint8_t>(e.payload[0] - kServerReply),
                            std::vector<std::uint8_t>(e.payload.begin() + 1, e.payload.end()));
        }
    }
}

void CRfc2217SerialPort::OnComPortAnswer(std::uint8_t command,
                                         const std::vector<std::uint8_t>& value) {
    // Notifications and late answers match nothing that is waiting.
    for (Setting& s : m_pending) {
        if (s.answered || s.command != command) {
            continue;
        }
        if (command == kSetControl &&
            (value.empty() || GroupOf(value[0]) != static_cast<ControlGroup>(s.group))) {
            continue;
        }
        s.answered = true;
        s.answer = value;
        return;
    }
}

CRfc2217SerialPort::Setting CRfc2217SerialPort::MakeSetting(std::uint8_t command,
                                                            std::uint8_t group,
                                                            std::vector<std::uint8_t> wanted,
                                                            std::string what) {
    Setting s;
    s.command = command;
    s.group = group;
    s.wanted = std::move(wanted);
    s.what = std::move(what);
    return s;
}

std::vector<CRfc2217SerialPort::Setting> CRfc2217SerialPort::SettingsFor(const SerialDcb& dcb) {
    static const char* const kParityNames[] = {"none", "odd", "even"};
    static const char* const kStopNames[] = {"1", "1.5", "2"};
    static const std::uint8_t kParityValues[] = {telnet::kParityNone, telnet::kParityOdd,
                                                 telnet::kParityEven};
    static const std::uint8_t kStopValues[] = {kStopOne, 3, kStopTwo};
    const auto control = [](std::uint8_t value, std::string what) {
        return MakeSetting(kSetControl, static_cast<std::uint8_t>(GroupOf(value)), {value},
                           std::move(what));
    };
    std::vector<Setting> settings;
    settings.push_back(MakeSetting(kSetBaudRate, 0, BaudRateValue(dcb.BaudRate),
                                   "the bit rate " + std::to_string(dcb.BaudRate)));
    settings.push_back(MakeSetting(kSetDataSize, 0, {dcb.ByteSize},
                                   "the data size " + std::to_string(dcb.ByteSize)));
    settings.push_back(MakeSetting(kSetParity, 0, {kParityValues[dcb.Parity]},
                                   std::string("the parity ") + kParityNames[dcb.Parity]));
    settings.push_back(MakeSetting(kSetStopSize, 0, {kStopValues[dcb.StopBits]},
                                   std::string("the stop size ") + kStopNames[dcb.StopBits]));
    const bool rtsCts = dcb.fOutxCtsFlow != 0 || dcb.fRtsControl == kRtsControlHandshake;
    if (rtsCts) {
        settings.push_back(control(kFlowHardware, "RTS/CTS flow control"));
    } else if (dcb.fOutX != 0 || dcb.fInX != 0) {
        settings.push_back(control(telnet::kFlowXonXoff, "XON/XOFF flow control"));
    } else {
        settings.push_back(control(kFlowNone, "no flow control"));
    }
    // As on a local port, the DTR/DSR handshake comes down to a raised DTR.
    const bool dtr = dcb.fDtrControl != kDtrControlDisable;
    settings.push_back(control(dtr ? kDtrOn : kDtrOff, dtr ? "DTR on" : "DTR off"));
    if (!rtsCts) {
        const bool rts = dcb.fRtsControl == kRtsControlEnable;
        settings.push_back(control(rts ? kRtsOn : kRtsOff, rts ? "RTS on" : "RTS off"));
    }
    for (std::size_t i = settings.size() - (rtsCts ? 1 : 2); i < settings.size(); ++i) {
        settings[i].modemLine = true;
    }
    return settings;
}

bool CRfc2217SerialPort::SetLine(const SerialDcb& dcb) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > ::kParityEven ||
        dcb.StopBits > kStopBitsTwo) {
        return Fail(EINVAL);
    }
    m_pending = SettingsFor(dcb);
    std::vector<std::uint8_t> wire;
    for (const Setting& s : m_pending) {
        const auto command = ComPortCommand(s.command, s.wanted);
        wire.insert(wire.end(), command.begin(), command.end());
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kAnswerBoundMs);
    const auto settled = [this](bool withModemLines) {
        return std::all_of(m_pending.begin(), m_pending.end(), [&](const Setting& s) {
            return s.answered || (s.modemLine && !withModemLines);
        });
    };
    if (!SendAll(wire, true, deadline) || !ReceiveUntil([&] { return settled(false); }, deadline) ||
        !ReceiveUntil(
            [&] { return settled(true); },
            std::min(deadline, Clock::now() + std::chrono::milliseconds(kModemLineGraceMs)))) {
        m_pending.clear();
        return false;
    }
    const std::vector<Setting> settings = std::move(m_pending);
    m_pending.clear();
    for (const Setting& s : settings) {
        if (s.answered && s.answer != s.wanted) {
            return Fail(EINVAL, Where() + " refused " + s.what + " (it answered " +
                                    ValueText(s.command, s.answer) + ")");
        }
    }
    for (const Setting& s : settings) {
        if (!s.answered && m_notes.size() < kMaxNotes) {
            m_notes.push_back(Where() + " left " + s.what + " unanswered; going on");
        }
    }
    return true;
}

std::vector<std::string> CRfc2217SerialPort::TakeNotes() {
    std::vector<std::string> notes = std::exchange(m_notes, {});
    for (std::string& note : CSocketSerialPort::TakeNotes()) {
        notes.push_back(std::move(note));
    }
    return notes;
}

void CRfc2217SerialPort::Encode(const std::uint8_t* data, std::uint32_t count,
                                std::vector<std::uint8_t>& wire) {
    wire.clear();
    AppendEscaped(wire, data, count);
}

std::uint32_t CRfc2217SerialPort::DataBytesSent(const std::uint8_t* data, std::uint32_t count,
                                                std::size_t sent) {
    return static_cast<std::uint32_t>(telnet::DataBytesSent(data, count, sent));
}

void CRfc2217SerialPort::OnPurge(std::uint32_t flags) {
    const bool rx = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
    const bool tx = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
    if (!rx && !tx) {
        return;
    }
    SendNow(ComPortCommand(kPurgeData,
                           {rx && tx ? kPurgeBoth : (rx ? kPurgeReceive : kPurgeTransmit)}));
}
