#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Telnet framing for a serial line carried with COM Port Control: data bytes with IAC doubled,
// option negotiation, and the COM-PORT-OPTION subnegotiations. No sockets here.
namespace telnet {

constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;

constexpr std::uint8_t kOptionBinary = 0;
constexpr std::uint8_t kOptionSuppressGoAhead = 3;
constexpr std::uint8_t kOptionComPort = 44;

// COM-PORT-OPTION commands from the client; the server answers each with the code + 100.
constexpr std::uint8_t kSetBaudRate = 1;
constexpr std::uint8_t kSetDataSize = 2;
constexpr std::uint8_t kSetParity = 3;
constexpr std::uint8_t kSetStopSize = 4;
constexpr std::uint8_t kSetControl = 5;
constexpr std::uint8_t kPurgeData = 12;
constexpr std::uint8_t kServerReply = 100;

// Values of SET-PARITY, SET-STOPSIZE, SET-CONTROL and PURGE-DATA.
constexpr std::uint8_t kParityNone = 1;
constexpr std::uint8_t kParityOdd = 2;
constexpr std::uint8_t kParityEven = 3;
constexpr std::uint8_t kStopOne = 1;
constexpr std::uint8_t kStopTwo = 2;
constexpr std::uint8_t kFlowNone = 1;
constexpr std::uint8_t kFlowXonXoff = 2;
constexpr std::uint8_t kFlowHardware = 3;
constexpr std::uint8_t kDtrOn = 8;
constexpr std::uint8_t kDtrOff = 9;
constexpr std::uint8_t kRtsOn = 11;
constexpr std::uint8_t kRtsOff = 12;
constexpr std::uint8_t kPurgeReceive = 1;
constexpr std::uint8_t kPurgeTransmit = 2;
constexpr std::uint8_t kPurgeBoth = 3;

// Appends data to wire with every IAC doubled.
void AppendEscaped(std::vector<std::uint8_t>& wire, const std::uint8_t* data, std::size_t count);

// How many of the count data bytes went out whole when sent wire bytes of their escaped form did.
std::size_t DataBytesSent(const std::uint8_t* data, std::size_t count, std::size_t sent);

// IAC verb option.
std::vector<std::uint8_t> Negotiation(std::uint8_t verb, std::uint8_t option);

// IAC SB COM-PORT-OPTION command value... IAC SE, the value escaped.
std::vector<std::uint8_t> ComPortCommand(std::uint8_t command,
                                         const std::vector<std::uint8_t>& value);
std::vector<std::uint8_t> BaudRateValue(std::uint32_t baud);

struct Event {
    enum class Kind { Negotiation, Subnegotiation };
    Kind kind = Kind::Negotiation;
    std::uint8_t verb = 0;  // kWill .. kDont for a negotiation
    std::uint8_t option = 0;
    std::vector<std::uint8_t> payload;  // after the option byte, IAC IAC undone
};

// Splits what the server sends into data and Telnet events. A command may be cut anywhere
// between two reads; the state carries it over.
class CDecoder {
public:
    void Feed(const std::uint8_t* raw, std::size_t count, std::vector<std::uint8_t>& data,
              std::vector<Event>& events);
    void Reset() { *this = CDecoder(); }

private:
    enum class State { Data, Command, Option, Sub, SubCommand };
    // A subnegotiation longer than this is not one of ours; the rest of it is dropped.
    static constexpr std::size_t kMaxSub = 64;

    State m_state = State::Data;
    std::uint8_t m_verb = 0;
    Event m_sub;
    bool m_bSubHasOption = false;
};

}  // namespace telnet
