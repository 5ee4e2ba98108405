#include "lines/TelnetCodec.h"

namespace telnet {

void AppendEscaped(std::vector<std::uint8_t>& wire, const std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        wire.push_back(data[i]);
        if (data[i] == kIac) {
            wire.push_back(kIac);
        }
    }
}

std::size_t DataBytesSent(const std::uint8_t* data, std::size_t count, std::size_t sent) {
    std::size_t whole = 0;
    std::size_t used = 0;
    while (whole < count) {
        used += data[whole] == kIac ? 2 : 1;
        if (used > sent) {
            break;
        }
        ++whole;
    }
    return whole;
}

std::vector<std::uint8_t> Negotiation(std::uint8_t verb, std::uint8_t option) {
    return {kIac, verb, option};
}

std::vector<std::uint8_t> ComPortCommand(std::uint8_t command,
                                         const std::vector<std::uint8_t>& value) {
    std::vector<std::uint8_t> wire{kIac, kSb, kOptionComPort, command};
    AppendEscaped(wire, value.data(), value.size());
    wire.push_back(kIac);
    wire.push_back(kSe);
    return wire;
}

std::vector<std::uint8_t> BaudRateValue(std::uint32_t baud) {
    return {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
            static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
}

void CDecoder::Feed(const std::uint8_t* raw, std::size_t count, std::vector<std::uint8_t>& data,
                    std::vector<Event>& events) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = raw[i];
        switch (m_state) {
            case State::Data:
                if (b == kIac) {
                    m_state = State::Command;
                } else {
                    data.push_back(b);
                }
                break;
            case State::Command:
                m_state = State::Data;
                if (b == kIac) {
                    data.push_back(kIac);
                } else if (b >= kWill && b <= kDont) {
                    m_verb = b;
                    m_state = State::Option;
                } else if (b == kSb) {
                    m_sub = Event{};
                    m_sub.kind = Event::Kind::Subnegotiation;
                    m_bSubHasOption = false;
                    m_state = State::Sub;
                }
                // Any other two-byte command (NOP, GA, ...) carries nothing for a serial line.
                break;
            case State::Option:
                events.push_back(Event{Event::Kind::Negotiation, m_verb, b, {}});
                m_state = State::Data;
                break;
            case State::Sub:
                if (b == kIac) {
                    m_state = State::SubCommand;
                } else if (!m_bSubHasOption) {
                    m_sub.option = b;
                    m_bSubHasOption = true;
                } else if (m_sub.payload.size() < kMaxSub) {
                    m_sub.payload.push_back(b);
                }
                break;
            case State::SubCommand:
                if (b == kSe) {
                    if (m_bSubHasOption) {
                        events.push_back(std::move(m_sub));
                    }
                    m_sub = Event{};
                    m_state = State::Data;
                } else if (b == kIac) {
                    if (!m_bSubHasOption) {
                        m_sub.option = b;
                        m_bSubHasOption = true;
                    } else if (m_sub.payload.size() < kMaxSub) {
                        m_sub.payload.push_back(b);
                    }
                    m_state = State::Sub;
                } else {
                    // A server that forgets IAC SE: the subnegotiation is given up and the byte
                    // read as the command it is.
                    m_state = State::Command;
                    --i;
                }
                break;
        }
    }
}

}  // namespace telnet
