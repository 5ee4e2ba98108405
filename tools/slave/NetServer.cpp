#include "tools/slave/NetServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "protocol/MbapCodec.h"
#include "tools/slave/LineAnswer.h"
#include "tools/slave/PollUntil.h"
#include "tools/slave/RoleCheck.h"

namespace slave {

namespace {

// Past this many unsent answers a TCP client is not read until some leave, so a client that
// pipelines requests under a long --delay holds back only itself.
constexpr std::size_t kMaxPendingPerClient = 16;
constexpr std::size_t kMaxPendingUdp = 256;
// Datagrams taken per wake, so that a flood never keeps the stop signal waiting.
constexpr int kDatagramsPerWake = 64;
// The unit id masters send to a device reached without a gateway, which the responder answers
// as it answers 0.
constexpr std::uint8_t kUnitNotUsed = 0xFF;

}  // namespace

CNetServer::CNetServer(const SlaveOptions& options, const NetPort& port, CSlaveUnits& units,
                       CNetListener& listener, CSlaveLog& log, ssl_ctx_st* tls)
    : m_options(options),
      m_port(port),
      m_units(units),
      m_listener(listener),
      m_log(log),
      m_tls(tls),
      m_responder(units, log) {}

CNetServer::~CNetServer() {
    while (!m_clients.empty()) {
        CloseClient(m_clients.size() - 1);
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
        // What TLS has already taken off the socket never wakes poll(): a client read again
        // after its answers left has its next requests served here.
        for (std::size_t i = m_clients.size(); i-- > 0;) {
            Client& client = m_clients[i];
            if (client.tls && client.tls->HasPending() && Reading(client) &&
                !ReadClient(client, Clock::now())) {
                CloseClient(i);
            }
        }
        CloseStalled(Clock::now());
        CloseIdle(Clock::now());

        fds.clear();
        fds.push_back({stopFd, POLLIN, 0});
        const bool takeMore = tcp || m_pending.size() < kMaxPendingUdp;
        fds.push_back({m_listener.Fd(), static_cast<short>(takeMore ? POLLIN : 0), 0});
        for (const Client& client : m_clients) {
            short events = Reading(client) ? POLLIN : 0;
            if (client.tls && (events != 0 || !client.tls->Established())) {
                events = client.tls->Events();
            }
            fds.push_back({client.fd, events, 0});
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
            if (m_clients[i].tls && !m_clients[i].tls->Established()) {
                if (!ShakeHands(m_clients[i], now)) {
                    CloseClient(i);
                }
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
    client.accepted = now;
    if (m_port.transport == Transport::RtuTcp) {
        client.frames = std::make_unique<CStreamFrames>(m_options.mode);
    }
    if (m_tls != nullptr) {
        client.tls = std::make_unique<CTlsSession>(m_tls, fd);
        if (!client.tls->Ok()) {
            m_log.Frame("rx", {}, client.tls->Reason());
            ::close(fd);
            return;
        }
    }
    m_clients.push_back(std::move(client));
}

bool CNetServer::ShakeHands(Client& client, Clock::time_point now) {
    client.lastHeard = now;
    switch (client.tls->Handshake()) {
        case CTlsSession::Step::Again:
            return true;
        case CTlsSession::Step::Failed:
            m_log.Frame("rx", {}, "TLS refused: " + client.tls->Reason());
            return false;
        case CTlsSession::Step::Done:
            break;
    }
    m_log.Frame("rx", {}, client.tls->Protocol() + " " + IdentityText(client.tls->Identity()));
    // The client may have sent its first request with the end of its handshake.
    return ReadClient(client, now);
}

bool CNetServer::ReadClient(Client& client, Clock::time_point now) {
    std::uint8_t buffer[protocol::kMaxMbapFrame];
    // TLS holds what it has decrypted where poll() cannot see it: it is read out until it has
    // no more, or until the client has enough answers waiting.
    do {
        // The buffer holds less than a whole ADU here, so there is always room.
        const std::size_t room = protocol::kMaxMbapFrame - client.buffer.size();
        std::size_t n = 0;
        switch (Receive(client, buffer, room, n)) {
            case Intake::None:
                return true;
            case Intake::Closed:
                if (!client.buffer.empty()) {
                    m_log.Frame("rx", client.buffer, "incomplete");
                }
                return false;
            case Intake::Got:
                break;
        }
        client.lastHeard = now;
        if (!TakeBytes(client, buffer, n, now)) {
            return false;
        }
    } while (client.tls && Reading(client));
    return true;
}

CNetServer::Intake CNetServer::Receive(Client& client, std::uint8_t* buffer, std::size_t room,
                                       std::size_t& got) {
    got = 0;
    if (client.tls) {
        switch (client.tls->Read(buffer, room, got)) {
            case CTlsSession::Received::Got:
                return Intake::Got;
            case CTlsSession::Received::None:
                return Intake::None;
            case CTlsSession::Received::Closed:
                return Intake::Closed;
            case CTlsSession::Received::Failed:
                m_log.Frame("rx", {}, "TLS failed: " + client.tls->Reason());
                return Intake::Closed;
        }
    }
    ssize_t n = 0;
    do {
        n = ::recv(client.fd, buffer, room, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        return Intake::None;
    }
    if (n <= 0) {
        return Intake::Closed;
    }
    got = static_cast<std::size_t>(n);
    return Intake::Got;
}

bool CNetServer::TakeBytes(Client& client, const std::uint8_t* data, std::size_t size,
                           Clock::time_point now) {
    if (client.frames) {
        client.frames->Feed(data, size, now);
        ServeFrames(client, now);
        return true;
    }
    if (client.buffer.empty()) {
        client.frameStart = now;
    }
    client.buffer.insert(client.buffer.end(), data, data + size);
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
        if (auto answer = Answer(client, adu)) {
            PendingAnswer pending;
            pending.client = client.serial;
            pending.answer = std::move(*answer);
            ++client.pending;
            Queue(std::move(pending));
        }
    }
}

std::optional<MbapAnswer> CNetServer::Answer(const Client& client, const Bytes& adu) {
    if (client.tls) {
        if (std::optional<MbapAnswer> refused = Refusal(client, adu)) {
            return refused;
        }
    }
    return m_responder.Handle(adu);
}

std::optional<MbapAnswer> CNetServer::Refusal(const Client& client, const Bytes& adu) {
    const protocol::MbapHeader header = protocol::ReadMbapHeader(adu.data());
    if (!m_units.Answers(header.unit) && header.unit != protocol::kBroadcastAddress &&
        header.unit != kUnitNotUsed) {
        // No unit hears it: the responder leaves it unanswered, as over TCP.
        return std::nullopt;
    }
    const std::size_t pduAt = protocol::kMbapUnitAt + 1;
    const protocol::PduView pdu(adu.data() + pduAt, adu.size() - pduAt);
    const CRoleTable* roles = m_options.roles ? &*m_options.roles : nullptr;
    const RoleVerdict verdict = JudgeRequest(roles, client.tls->Identity(), pdu);
    if (verdict.allowed) {
        return std::nullopt;
    }
    m_log.Frame("rx", adu, "refused");
    m_log.Print("vornak-slave: refused: " + verdict.refusal);
    const std::uint8_t answerPdu[] = {static_cast<std::uint8_t>(pdu[0] | protocol::kExceptionFlag),
                                      verdict.exception};
    MbapAnswer answer;
    answer.adu = protocol::MbapWrap(header.transaction, header.unit, answerPdu, sizeof answerPdu);
    return answer;
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
    if (it->tls) {
        if (it->tls->Write(adu.data(), adu.size())) {
            return true;
        }
        CloseClient(static_cast<std::size_t>(it - m_clients.begin()));
        return false;
    }
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
    if (m_clients[index].tls) {
        m_clients[index].tls->Shutdown();
        // The session refers to the socket: it goes first.
        m_clients[index].tls.reset();
    }
    ::close(m_clients[index].fd);
    m_clients.erase(m_clients.begin() + static_cast<std::ptrdiff_t>(index));
}

void CNetServer::CloseStalled(Clock::time_point now) {
    for (std::size_t i = m_clients.size(); i-- > 0;) {
        const Client& client = m_clients[i];
        if (Reading(client) && !client.buffer.empty() && now - client.frameStart >= kFrameBound) {
            m_log.Frame("rx", client.buffer, "incomplete");
            CloseClient(i);
        } else if (client.tls && !client.tls->Established() &&
                   now - client.accepted >= kHandshakeBound) {
            m_log.Frame(
                "rx", {},
                "TLS handshake not over within " +
                    std::to_string(
                        std::chrono::duration_cast<std::chrono::seconds>(kHandshakeBound).count()) +
                    " s, closed");
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
        if (client.tls && !client.tls->Established()) {
            earlier(client.accepted + kHandshakeBound);
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
