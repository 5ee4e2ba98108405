#include "HostileServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kComPort = 44;
constexpr int kSliceMs = 20;

// The revents within a slice.
short PollOne(int fd, short events) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, kSliceMs) > 0 ? p.revents : 0;
}

}  // namespace

bool CHostileServer::Start(Hostility how) {
    Stop();
    m_bStop = false;
    m_nFromClient = 0;
    m_nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof a;
    // A backlog of 0 holds one completed connection; the next SYN is dropped.
    if (m_nListen < 0 || ::bind(m_nListen, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
        ::listen(m_nListen, how == Hostility::BacklogFull ? 0 : 4) != 0 ||
        ::getsockname(m_nListen, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        Stop();
        return false;
    }
    m_nPort = ntohs(a.sin_port);
    if (how != Hostility::BacklogFull) {
        m_run = std::thread([this, how] { Serve(how); });
        return true;
    }
    for (int& filler : m_fillers) {
        filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        (void)::connect(filler, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }
    // The first filler completes and sits in the queue; the second is already held back.
    for (int i = 0; i < 50 && (PollOne(m_fillers[0], POLLOUT) & POLLOUT) == 0; ++i) {
    }
    return true;
}

void CHostileServer::Stop() {
    m_bStop = true;
    if (m_run.joinable()) {
        m_run.join();
    }
    for (int* fd : {&m_nListen, &m_fillers[0], &m_fillers[1]}) {
        ::close(std::exchange(*fd, -1));  // -1 is refused harmlessly
    }
}

void CHostileServer::Serve(Hostility how) {
    const Clock::time_point end = Clock::now() + std::chrono::seconds(kLifeS);
    const auto live = [&] { return !m_bStop && Clock::now() < end; };
    int conn = -1;
    while (conn < 0 && live()) {
        if ((PollOne(m_nListen, POLLIN) & POLLIN) != 0) {
            conn = ::accept4(m_nListen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        }
    }
    if (conn < 0) {
        return;
    }
    if (how == Hostility::FloodAfterComPort) {
        const std::uint8_t accept[] = {kIac, kDo, kComPort};
        (void)::send(conn, accept, sizeof accept, MSG_NOSIGNAL);
    }
    std::vector<std::uint8_t> pattern;
    if (how == Hostility::OptionStorm) {
        for (int i = 0; i < 4096; ++i) {
            const auto x = static_cast<std::uint8_t>(i);
            auto y = static_cast<std::uint8_t>(i * 7 + 3);
            y = y == kComPort ? y + 1 : y;  // a DO for it would be the answer the client waits for
            pattern.insert(pattern.end(), {kIac, kWill, x, kIac, kDo, y});
        }
    } else if (how != Hostility::Silent) {
        pattern.assign(64 * 1024, 0x55);  // no IAC among them: every one is a line byte
    }
    std::uint8_t in[4096];
    std::size_t at = 0;
    while (live()) {
        const short ready = PollOne(conn, pattern.empty() ? POLLIN : POLLIN | POLLOUT);
        if ((ready & POLLIN) != 0) {
            const long n = ::recv(conn, in, sizeof in, 0);
            if (n <= 0) {
                break;
            }
            m_nFromClient += static_cast<std::uint64_t>(n);
        }
        if ((ready & POLLOUT) != 0) {
            const long n = ::send(conn, pattern.data() + at, pattern.size() - at, MSG_NOSIGNAL);
            if (n < 0) {
                break;
            }
            at = (at + static_cast<std::size_t>(n)) % pattern.size();
        }
    }
    ::close(conn);
}
