#include "tools/slave/NetServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "protocol/Limits.h"
#include "protocol/MbapCodec.h"
#include "tools/slave/LineAnswer.h"
#include "tools/slave/PollUntil.h"

namespace slave {

namespace {

// Past this many unsent answers a TCP client is not read until some leave, so a client that
// pipelines requests under a long --delay holds back only itself.
constexpr std::size_t kMaxPendingPerClient = 16;
constexpr std::size_t kMaxPendingUdp = 256;
// Datagrams taken per wake, so that a flood never keeps the stop signal waiting.
constexpr int kDatagramsPerWake = 64;

}  // namespace

CNetServer::CNetServer(const SlaveOptions& options, const NetPort& port, CSlaveUnits& units,
                       CNetListener& listener, CSlaveLog& log)
    : m_options(options),
      m_port(port),
      m_units(units),
      m_listener(listener),
      m_log(log),
      m_responder(units, log) {}

CNetServer::~CNetServer() {
    for (const Client& client : m_clients) {
        ::close(client.fd);
    }
}

int CNetServer::Run(int stopFd) {
    const bool tcp = m_port.transport != Transport::Udp;
    std::vector<pollfd> fds;
    for (;;) {
        for (Client& client : m_clients) {
            if (client.frames) {
                client.frames->Tick(Clock::now());
                ServeFrames(client, Clock::now());
            }
        }
        SendDue(Clock::now());
        CloseStalled(Clock::now());
        CloseIdle(Clock::now());

        fds.clear();
        fds.push_back({stopFd, POLLIN, 0});
        const bool takeMore = tcp || m_pending.size() < kMaxPendingUdp;
        fds.push_back({m_listener.Fd(), static_cast<short>(takeMore ? POLLIN : 0), 0});
        for (const Client& client : m_clients) {
            fds.push_back({client.fd, static_cast<short>(Reading(client) ? POLLIN : 0), 0});
        }
        if (PollUntil(fds.data(), static_cast<nfds_t>(fds.size()), NextDue()) < 0) {
            return 1;
        }
        if (fds[0].revents != 0) {
            return 0;
        }
        if ((fds[1].revents & POLLNVAL) != 0) {
            std::fprintf(stderr, "vornak-slave: the socket on %s is gone\n",
                         m_listener.Address().c_str());
            return 1;
        }
        if ((fds[1].revents & POLLERR) != 0) {
            // A pending error (an ICMP report on UDP) belongs to no request: clear it.
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(m_listener.Fd(), SOL_SOCKET, SO_ERROR, &error, &length);
        }
        const auto now = Clock::now();
        // From the back, so that closing a client keeps the indices of those before it.
        for (std::size_t i = m_clients.size(); i-- > 0;) {
            const short revents = fds[2 + i].revents;
            if (revents == 0) {
                continue;
            }
            // A client that hung up while not being read would otherwise wake poll at once
            // forever; its answers could not reach it anyway.
            if (!Reading(m_clients[i]) || !ReadClient(m_clients[i], now)) {
                CloseClient(i);
            }
        }
        if ((fds[1].revents & POLLIN) != 0) {
            if (tcp) {
                Accept();
            } else {
                ReadDatagrams();
            }
        }
    }
}

void CNetServer::Accept() {
    // One connection a wake: the clients' hang-ups, read first in the next one, free their
    // places before another connection is refused for want of one.
    int fd = -1;
    do {
        fd = ::accept4(m_listener.Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (fd < 0 && (errno == EINTR || errno == ECONNABORTED));
    if (fd < 0) {
        return;
    }
    const auto now = Clock::now();
    if (m_clients.size() >= kMaxClients) {
        // Doing nothing must not hold the device: the one idle longest makes room.
        EvictIdlest(now);
    }
    // An answer is one write the master waits for: it leaves at once.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Client client;
    client.fd = fd;
    client.serial = m_nNextSerial++;
    client.buffer.reserve(protocol::kMaxMbapFrame);
    client.lastHeard = now;
    if (m_port.transport == Transport::RtuTcp) {
        client.frames = std::make_unique<CStreamFrames>(m_options.mode);
    }
    m_clients.push_back(std::move(client));
}

bool CNetServer::ReadClient(Client& client, Clock::time_point now) {
    std::uint8_t buffer[protocol::kMaxMbapFrame];
    // The buffer holds less than a whole ADU here, so there is always room.
    const std::size_t room = protocol::kMaxMbapFrame - client.buffer.size();
    ssize_t n = 0;
    do {
        n = ::recv(client.fd, buffer, room, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return true;
    }
    if (n <= 0) {
        if (!client.buffer.empty()) {
            m_log.Frame("rx", client.buffer, "incomplete");
        }
        return false;
    }
    client.lastHeard = now;
    if (client.frames) {
        client.frames->Feed(buffer, static_cast<std::size_t>(n), now);
        ServeFrames(client, now);
        return true;
    }
    if (client.buffer.empty()) {
        client.frameStart = now;
    }
    client.buffer.insert(client.buffer.end(), buffer, buffer + n);
    for (;;) {
        const protocol::MbapScan scan =
            protocol::ScanMbap(client.buffer.data(), client.buffer.size());
        if (scan.result == protocol::MbapScan::Result::Bad) {
            // Past a broken header nothing tells where the next ADU starts.
            m_log.Frame("rx", client.buffer, "bad header");
            return false;
        }
        if (scan.result == protocol::MbapScan::Result::NeedMore) {
            return true;
        }
        const auto end = client.buffer.begin() + static_cast<std::ptrdiff_t>(scan.size);
        const Bytes adu(client.buffer.begin(), end);
        client.buffer.erase(client.buffer.begin(), end);
        client.frameStart = now;
        if (auto answer = m_responder.Handle(adu)) {
            PendingAnswer pending;
            pending.client = client.serial;
            pending.answer = std::move(*answer);
            ++client.pending;
            Queue(std::move(pending));
        }
    }
}

void CNetServer::ServeFrames(Client& client, Clock::time_point) {
    for (HeardFrame& heard : client.frames->Take()) {
        const DecodedFrame& frame = heard.frame;
        const std::optional<std::string_view> text =
            heard.asciiText ? std::optional<std::string_view>(*heard.asciiText) : std::nullopt;
        if (frame.status != FrameStatus::Ok) {
            m_units.Misheard(frame.status);
            m_log.Frame("rx", frame.frame, StatusNote(frame.status, m_options.mode), text);
            continue;
        }
        ServedRequest served = m_units.Serve(frame.message);
        const char* note = nullptr;
        switch (served.reply.kind) {
            case SlaveReply::Kind::Answer:
                note = served.fault.silent ? "silent" : nullptr;
                break;
            case SlaveReply::Kind::Broadcast:
                note = "broadcast";
                break;
            case SlaveReply::Kind::OtherId:
                note = "other id";
                break;
            case SlaveReply::Kind::Unanswered:
                note = "listen only";
                break;
            case SlaveReply::Kind::Short:
            case SlaveReply::Kind::Misheard:
                note = "short";
                break;
        }
        m_log.Frame("rx", frame.frame, note == nullptr ? "" : note, text);
        if (served.reply.kind != SlaveReply::Kind::Answer || served.fault.silent) {
            continue;
        }
        LineAnswer framed =
            EncodeLineAnswer(m_options, std::move(served.reply.answer), served.fault);
        PendingAnswer pending;
        pending.client = client.serial;
        pending.answer.adu = std::move(framed.wire);
        pending.answer.logBytes = std::move(framed.logBytes);
        pending.answer.asciiText = std::move(framed.asciiText);
        pending.answer.corrupt = served.fault.corrupt;
        pending.answer.delay = served.fault.delay;
        ++client.pending;
        Queue(std::move(pending));
    }
}

void CNetServer::ReadDatagrams() {
    for (int i = 0; i < kDatagramsPerWake && m_pending.size() < kMaxPendingUdp; ++i) {
        // One byte more than an ADU can have, so that a longer datagram shows.
        std::uint8_t buffer[protocol::kMaxMbapFrame + 1];
        PendingAnswer pending;
        pending.peerLength = sizeof pending.peer;
        const ssize_t n =
            ::recvfrom(m_listener.Fd(), buffer, sizeof buffer, MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&pending.peer), &pending.peerLength);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        const auto size = std::min(static_cast<std::size_t>(n), sizeof buffer);
        const Bytes datagram(buffer, buffer + size);
        const protocol::MbapScan scan = protocol::ScanMbap(datagram.data(), datagram.size());
        if (scan.result != protocol::MbapScan::Result::Whole ||
            scan.size != static_cast<std::size_t>(n)) {
            m_log.Frame("rx", datagram, "bad header");
            continue;
        }
        if (auto answer = m_responder.Handle(datagram)) {
            pending.answer = std::move(*answer);
            Queue(std::move(pending));
        }
    }
}

void CNetServer::Queue(PendingAnswer pending) {
    pending.due = Clock::now() + pending.answer.delay;
    const auto at = std::upper_bound(
        m_pending.begin(), m_pending.end(), pending.due,
        [](Clock::time_point due, const PendingAnswer& other) { return due < other.due; });
    m_pending.insert(at, std::move(pending));
}

void CNetServer::SendDue(Clock::time_point now) {
    while (!m_pending.empty() && m_pending.front().due <= now) {
        const PendingAnswer pending = std::move(m_pending.front());
        m_pending.pop_front();
        const Bytes& adu = pending.answer.adu;
        bool sent = false;
        if (m_port.transport != Transport::Udp) {
            sent = SendTcp(pending, now);
        } else {
            const ssize_t n =
                ::sendto(m_listener.Fd(), adu.data(), adu.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr*>(&pending.peer), pending.peerLength);
            sent = n == static_cast<ssize_t>(adu.size());
        }
        std::string note = pending.answer.corrupt ? "corrupt" : "";
        if (!sent) {
            note += note.empty() ? "not sent" : ", not sent";
        }
        const std::optional<std::string_view> text =
            pending.answer.asciiText ? std::optional<std::string_view>(*pending.answer.asciiText)
                                     : std::nullopt;
        m_log.Frame("tx", pending.answer.logBytes.value_or(adu), note, text);
    }
}

bool CNetServer::SendTcp(const PendingAnswer& pending, Clock::time_point now) {
    const auto it = std::find_if(m_clients.begin(), m_clients.end(), [&](const Client& client) {
        return client.serial == pending.client;
    });
    if (it == m_clients.end()) {
        return false;
    }
    if (--it->pending == kMaxPendingPerClient - 1) {
        // Read again from now: the time it waited for us does not count against its frame.
        it->frameStart = now;
    }
    const Bytes& adu = pending.answer.adu;
    ssize_t n = 0;
    do {
        n = ::send(it->fd, adu.data(), adu.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(adu.size())) {
        return true;
    }
    // A client that has stopped reading, or a part of an answer in its stream: either way the
    // stream cannot go on.
    CloseClient(static_cast<std::size_t>(it - m_clients.begin()));
    return false;
}

void CNetServer::CloseClient(std::size_t index) {
    ::close(m_clients[index].fd);
    m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(index));
}

void CNetServer::CloseStalled(Clock::time_point now) {
    for (std::size_t i = m_clients.size(); i-- > 0;) {
        const Client& client = m_clients[i];
        if (Reading(client) && !client.buffer.empty() && now - client.frameStart >= kFrameBound) {
            m_log.Frame("rx", client.buffer, "incomplete");
            CloseClient(i);
        }
    }
}

void CNetServer::CloseIdle(Clock::time_point now) {
    const std::chrono::seconds limit(m_options.idleTimeoutS);
    for (std::size_t i = m_clients.size(); i-- > 0;) {
        const Client& client = m_clients[i];
        if (client.pending == 0 && now - client.lastHeard >= limit) {
            m_log.Frame("rx", {}, "idle, closed");
            CloseClient(i);
        }
    }
}

bool CNetServer::EvictIdlest(Clock::time_point) {
    if (m_clients.empty()) {
        return false;
    }
    const auto idlest = std::min_element(
        m_clients.begin(), m_clients.end(),
        [](const Client& a, const Client& b) { return a.lastHeard < b.lastHeard; });
    m_log.Frame("rx", {}, "idle longest, closed for a new client");
    CloseClient(static_cast<std::size_t>(idlest - m_clients.begin()));
    return true;
}

bool CNetServer::Reading(const Client& client) const {
    return client.pending < kMaxPendingPerClient;
}

std::optional<CNetServer::Clock::time_point> CNetServer::NextDue() const {
    std::optional<Clock::time_point> next;
    if (!m_pending.empty()) {
        next = m_pending.front().due;
    }
    const auto earlier = [&next](Clock::time_point due) {
        next = next ? std::min(*next, due) : due;
    };
    for (const Client& client : m_clients) {
        if (Reading(client) && !client.buffer.empty()) {
            earlier(client.frameStart + kFrameBound);
        }
        if (client.pending == 0) {
            earlier(client.lastHeard + std::chrono::seconds(m_options.idleTimeoutS));
        }
        if (client.frames) {
            if (const auto due = client.frames->Deadline()) {
                earlier(*due);
            }
        }
    }
    return next;
}

}  // namespace slave
