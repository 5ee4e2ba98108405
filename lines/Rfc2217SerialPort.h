#pragma once

#include <array>
#include <string>
#include <vector>

#include "SocketSerialPort.h"
#include "TelnetCodec.h"

// A serial line behind a device server that speaks Telnet with COM Port Control, RFC 2217
// ("rfc2217://HOST:PORT"). Open negotiates the option; SetLine sends the line settings and
// checks the server's answers; Purge empties the server's buffers too; IAC is escaped both ways.
class CRfc2217SerialPort : public CSocketSerialPort {
public:
    // How long SetLine waits for the answers. A setting left unanswered is no failure: servers
    // in front of a pseudo-terminal never answer the modem lines.
    static constexpr int kAnswerBoundMs = 500;
    // Once the line's own settings are answered, how much longer the modem lines may take:
    // servers in front of a pseudo-terminal never answer them, and every open waits for them
    // on the user-interface thread.
    static constexpr int kModemLineGraceMs = 50;
    // Notes nobody takes stop piling up here.
    static constexpr std::size_t kMaxNotes = 32;

    bool SetLine(const SerialDcb& dcb) override;

    // What the server left unanswered since the last call, one line each, for the trace.
    std::vector<std::string> TakeNotes() override;

protected:
    bool Handshake(Clock::time_point deadline) override;
    void Decode(const std::uint8_t* raw, std::size_t count) override;
    void Encode(const std::uint8_t* data, std::uint32_t count,
                std::vector<std::uint8_t>& wire) override;
    std::uint32_t DataBytesSent(const std::uint8_t* data, std::uint32_t count,
                                std::size_t sent) override;
    void OnPurge(std::uint32_t flags) override;

private:
    enum class ComPort { Asked, Accepted, Refused };
    struct Setting {
        std::uint8_t command = 0;
        std::uint8_t group = 0;  // SET-CONTROL: which of its settings; else unused
        std::vector<std::uint8_t> wanted;
        std::string what;
        bool modemLine = false;  // DTR or RTS
        bool answered = false;
        std::vector<std::uint8_t> answer;
    };

    void OnNegotiation(std::uint8_t verb, std::uint8_t option);
    void Answer(std::uint8_t verb, std::uint8_t option);
    void OnComPortAnswer(std::uint8_t command, const std::vector<std::uint8_t>& value);
    void SendNow(const std::vector<std::uint8_t>& wire);
    static Setting MakeSetting(std::uint8_t command, std::uint8_t group,
                               std::vector<std::uint8_t> wanted, std::string what);
    static std::vector<Setting> SettingsFor(const SerialDcb& dcb);
    std::string Where() const;

    telnet::CDecoder m_decoder;
    std::vector<std::uint8_t> m_data;
    std::vector<telnet::Event> m_events;
    ComPort m_comPort = ComPort::Asked;
    // Options in force on our side and on the server's, and those we asked for.
    std::array<bool, 256> m_bLocal{};
    std::array<bool, 256> m_bRemote{};
    std::array<bool, 256> m_bAskedLocal{};
    std::array<bool, 256> m_bAskedRemote{};
    // Options already answered for our side (WILL, WONT) and for the server's (DO, DONT).
    std::array<bool, 256> m_bAnsweredLocal{};
    std::array<bool, 256> m_bAnsweredRemote{};
    std::vector<Setting> m_pending;
    std::vector<std::string> m_notes;
};
