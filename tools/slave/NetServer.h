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

namespace slave {

// The event loop of one port, --tcp, --udp or --rtu-tcp: one poll() over the listener, the stop
// pipe and every TCP client. Each client's bytes are framed on their own, answers go back to
// whoever asked (late, from another unit or with a wrong transaction id when asked to), and a
// client that breaks its stream or vanishes is closed without disturbing the others.
class CNetServer {
public:
    using Clock = std::chrono::steady_clock;

    // Clients served at once; one more takes the place of the one idle longest.
    static constexpr std::size_t kMaxClients = 32;
    // A request must arrive whole within this time of its first byte.
    static constexpr std::chrono::milliseconds kFrameBound{2000};

    CNetServer(const SlaveOptions& options, const NetPort& port, CSlaveUnits& units,
               CNetListener& listener, CSlaveLog& log);
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
    };
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
    void ServeAdus(Client& client, Clock::time_point now, bool& keep);
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
    // Closes the clients whose request has been arriving for longer than kFrameBound.
    void CloseStalled(Clock::time_point now);
    bool Reading(const Client& client) const;
    // The first moment the loop must act at; nullopt when only a descriptor can wake it.
    std::optional<Clock::time_point> NextDue() const;

    const SlaveOptions& m_options;
    NetPort m_port;
    CSlaveUnits& m_units;
    CNetListener& m_listener;
    CSlaveLog& m_log;
    CMbapResponder m_responder;
    std::vector<Client> m_clients;
    std::uint64_t m_nNextSerial = 1;
    std::deque<PendingAnswer> m_pending;  // in the order of their due times
};

}  // namespace slave
