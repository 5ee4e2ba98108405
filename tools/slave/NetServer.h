#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "tools/slave/MbapResponder.h"
#include "tools/slave/NetListener.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveOptions.h"
#include "tools/slave/SlaveUnits.h"
#include "tools/slave/StreamFrames.h"
#include "tools/slave/TlsSession.h"

struct ssl_ctx_st;

namespace slave {

// The event loop of one port, --tcp, --udp, --rtu-tcp or --tls: one poll() over the listener,
// the stop pipe and every TCP client. Each client's bytes are framed on their own, answers go
// back to whoever asked (late, from another unit or with a wrong transaction id when asked to),
// and a client that breaks its stream or vanishes is closed without disturbing the others.
// Over TLS each client shakes hands a step at a time within kHandshakeBound, and each of its
// requests is judged by the role its certificate names before a unit sees it.
class CNetServer {
public:
    using Clock = std::chrono::steady_clock;

    // Clients served at once; one more takes the place of the one idle longest.
    static constexpr std::size_t kMaxClients = 32;
    // A request must arrive whole within this time of its first byte.
    static constexpr std::chrono::milliseconds kFrameBound{2000};
    // A TLS client must have finished its handshake within this time of its connection.
    static constexpr std::chrono::milliseconds kHandshakeBound{5000};

    // tls: the context of a --tls port, which asks for and checks the client's certificate;
    // null for the others.
    CNetServer(const SlaveOptions& options, const NetPort& port, CSlaveUnits& units,
               CNetListener& listener, CSlaveLog& log, ssl_ctx_st* tls = nullptr);
    ~CNetServer();
    CNetServer(const CNetServer&) = delete;
    CNetServer& operator=(const CNetServer&) = delete;

    // Serves until stopFd becomes readable (0) or the socket fails for good (1, reason on
    // stderr).
    int Run(int stopFd);

private:
    struct Client {
        int fd = -1;
        std::uint64_t serial = 0;  // outlives the fd number, which the kernel hands out again
        Bytes buffer;              // never more than one whole ADU
        Clock::time_point frameStart;
        Clock::time_point lastHeard;            // when it last sent anything
        std::size_t pending = 0;                // answers not yet sent
        std::unique_ptr<CStreamFrames> frames;  // --rtu-tcp: the line's framing
        std::unique_ptr<CTlsSession> tls;       // --tls: shaking hands until Established()
        Clock::time_point accepted;
    };
    enum class Intake { Got, None, Closed };
    struct PendingAnswer {
        Clock::time_point due;
        std::uint64_t client = 0;  // TCP: the client's serial
        sockaddr_storage peer{};   // UDP: the sender
        socklen_t peerLength = 0;
        MbapAnswer answer;
    };

    void Accept();
    // Reads what the client sent and answers each whole ADU; false when it is to be closed.
    bool ReadClient(Client& client, Clock::time_point now);
    // Up to room bytes from the client's stream, plain or through TLS.
    Intake Receive(Client& client, std::uint8_t* buffer, std::size_t room, std::size_t& got);
    // Frames the bytes and answers each whole request; false when the stream is broken.
    bool TakeBytes(Client& client, const std::uint8_t* data, std::size_t size,
                   Clock::time_point now);
    // Goes on with a TLS client's handshake; false when it failed and the client is to go.
    bool ShakeHands(Client& client, Clock::time_point now);
    // The answer to one whole request ADU, or none.
    std::optional<MbapAnswer> Answer(const Client& client, const Bytes& adu);
    // The exception answer to a request the TLS client's role may not send; none when it may.
    std::optional<MbapAnswer> Refusal(const Client& client, const Bytes& adu);
    void ServeFrames(Client& client, Clock::time_point now);
    // Closes the clients that have sent nothing for --idle-timeout, waiting for no answer.
    void CloseIdle(Clock::time_point now);
    // Makes room for one more client by closing the one idle longest; false when none is idle.
    bool EvictIdlest(Clock::time_point now);
    void ReadDatagrams();
    void Queue(PendingAnswer pending);
    void SendDue(Clock::time_point now);
    // Sends to the client that asked; false when it is gone or the answer did not fit.
    bool SendTcp(const PendingAnswer& pending, Clock::time_point now);
    void CloseClient(std::size_t index);
    // Closes the clients whose request has been arriving for longer than kFrameBound, and the
    // TLS clients whose handshake is not over kHandshakeBound after they connected.
    void CloseStalled(Clock::time_point now);
    bool Reading(const Client& client) const;
    // The first moment the loop must act at; nullopt when only a descriptor can wake it.
    std::optional<Clock::time_point> NextDue() const;

    const SlaveOptions& m_options;
    NetPort m_port;
    CSlaveUnits& m_units;
    CNetListener& m_listener;
    CSlaveLog& m_log;
    ssl_ctx_st* m_tls;
    CMbapResponder m_responder;
    std::vector<Client> m_clients;
    std::uint64_t m_nNextSerial = 1;
    std::deque<PendingAnswer> m_pending;  // in the order of their due times
};

}  // namespace slave
