#include "tools/slave/SlaveServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tools/slave/LineAnswer.h"
#include "tools/slave/PollUntil.h"

namespace slave {

namespace {

constexpr int kHangupRetryMs = 20;
constexpr int kWriteStallMs = 500;

}  // namespace

CSlaveServer::CSlaveServer(const SlaveOptions& options, CSlaveUnits& units, CLineDevice& line,
                           CSlaveLog& log, CLineTap* tap)
    : m_options(options),
      m_line(line),
      m_log(log),
      m_units(units),
      m_rtu(RtuSilence(options)),
      m_start(Clock::now()),
      m_tap(tap) {
    if (options.echo || options.pace || options.burstMs > 0) {
        m_pacer.emplace(options.pace ? Clock::duration(CharacterTime(options)) : Clock::duration(),
                        std::chrono::milliseconds(options.burstMs), m_start);
    }
}

int CSlaveServer::Run(int stopFd) {
    for (;;) {
        const auto now = Clock::now();
        if (m_options.mode == Framing::Rtu) {
            if (auto frame = m_rtu.Take(now)) {
                OnFrame(*frame, std::nullopt);
            }
        }
        SendDue(Clock::now());
        FlushPacer(Clock::now());
        FlushTap(Clock::now());

        pollfd fds[2] = {{m_line.Fd(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        if (PollUntil(fds, 2, NextDue()) < 0) {
            return 1;
        }
        if (fds[1].revents != 0) {
            return 0;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            if (!ReadLine()) {
                return 1;
            }
        } else if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            if (!m_line.IsPseudoTerminal()) {
                std::fprintf(stderr, "vornak-slave: the line %s hung up\n", m_line.Path().c_str());
                return 1;
            }
            // A pseudo-terminal with nobody on the other side: wait for the next master.
            pollfd stop = {stopFd, POLLIN, 0};
            if (::poll(&stop, 1, kHangupRetryMs) > 0) {
                return 0;
            }
        }
    }
}

std::optional<CSlaveServer::Clock::time_point> CSlaveServer::NextDue() const {
    std::optional<Clock::time_point> next;
    const auto earlier = [&next](std::optional<Clock::time_point> due) {
        if (due && (!next || *due < *next)) {
            next = due;
        }
    };
    if (m_options.mode == Framing::Rtu) {
        earlier(m_rtu.Deadline());
    }
    if (!m_pending.empty()) {
        earlier(m_pending.front().due);
    }
    if (m_pacer) {
        earlier(m_pacer->NextDue());
    }
    if (m_tap) {
        earlier(m_tap->NextDue());
    }
    return next;
}

bool CSlaveServer::ReadLine() {
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_line.Fd(), buffer, sizeof buffer);
        if (n > 0) {
            const auto now = Clock::now();
            const auto count = static_cast<std::size_t>(n);
            if (!m_options.anySettings) {
                // Read as the bytes come: a master may switch settings between two requests.
                m_heard = m_line.HeardSettings();
            }
            Clock::time_point arrived = now;
            if (m_options.pace) {
                // The request takes its wire time to arrive, whatever the pseudo-terminal does.
                const Clock::duration character(CharacterTime(m_options));
                const Clock::time_point first = std::max(now, m_inputFree) + character;
                m_inputFree = first + static_cast<long>(count - 1) * character;
                arrived = m_inputFree;
                if (m_tap) {
                    m_tap->Hear(buffer, count, first, character);
                }
            } else if (m_tap) {
                m_tap->Hear(buffer, count, now, {});
            }
            if (m_options.echo) {
                m_pacer->Queue(buffer, count, now);
            }
            if (m_options.mode == Framing::Rtu) {
                m_rtu.Feed(buffer, count, arrived);
            } else {
                m_ascii.Feed(buffer, static_cast<std::size_t>(n));
                while (auto frame = m_ascii.Next()) {
                    DecodedFrame decoded;
                    if (frame->overrun) {
                        decoded.status = FrameStatus::Overrun;
                    } else {
                        decoded = AsciiDecode(frame->text);
                    }
                    OnFrame(decoded, frame->text);
                }
            }
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (m_line.IsPseudoTerminal() && (n == 0 || errno == EIO)) {
            // No master on the terminal side at the moment; the loop waits for one.
            std::this_thread::sleep_for(std::chrono::milliseconds(kHangupRetryMs));
            return true;
        }
        std::fprintf(stderr, "vornak-slave: reading %s: %s\n", m_line.Path().c_str(),
                     n == 0 ? "end of file" : std::strerror(errno));
        return false;
    }
}

void CSlaveServer::OnFrame(const DecodedFrame& frame, std::optional<std::string> asciiText) {
    const std::optional<std::string_view> text =
        asciiText ? std::optional<std::string_view>(*asciiText) : std::nullopt;
    if (m_heard) {
        if (const std::string differ = SettingsMismatch(m_options, *m_heard); !differ.empty()) {
            // A real device's UART would make garbage of it.
            m_units.Misheard(FrameStatus::BadCheck);
            m_log.Frame("rx", frame.frame, differ, text);
            return;
        }
    }
    if (frame.status != FrameStatus::Ok) {
        m_units.Misheard(frame.status);
        m_log.Frame("rx", frame.frame, StatusNote(frame.status, m_options.mode), text);
        return;
    }
    ServedRequest served = m_units.Serve(frame.message);
    SlaveReply& reply = served.reply;
    switch (reply.kind) {
        case SlaveReply::Kind::Misheard:
            m_log.Frame("rx", frame.frame, StatusNote(frame.status, m_options.mode), text);
            return;
        case SlaveReply::Kind::Short:
            m_log.Frame("rx", frame.frame, "short", text);
            return;
        case SlaveReply::Kind::OtherId:
            m_log.Frame("rx", frame.frame, "other id", text);
            return;
        case SlaveReply::Kind::Broadcast:
            m_log.Frame("rx", frame.frame, "broadcast", text);
            return;
        case SlaveReply::Kind::Unanswered:
            m_log.Frame("rx", frame.frame, "listen only", text);
            return;
        case SlaveReply::Kind::Answer:
            break;
    }
    const AnswerFault& fault = served.fault;
    if (fault.silent) {
        m_log.Frame("rx", frame.frame, "silent", text);
        return;
    }
    m_log.Frame("rx", frame.frame, {}, text);

    LineAnswer framed = EncodeLineAnswer(m_options, std::move(reply.answer), fault);
    PendingAnswer pending;
    pending.corrupt = fault.corrupt;
    pending.wire = std::move(framed.wire);
    pending.logBytes = std::move(framed.logBytes);
    pending.asciiText = std::move(framed.asciiText);
    pending.due = std::max(Clock::now(), m_inputFree) + fault.delay;
    m_pending.push_back(std::move(pending));
}

void CSlaveServer::SendDue(Clock::time_point now) {
    while (!m_pending.empty() && m_pending.front().due <= now) {
        PendingAnswer pending = std::move(m_pending.front());
        m_pending.pop_front();
        bool sent = true;
        if (m_pacer) {
            // The tap sits on the wire: it hears each byte as it leaves, before any burst.
            const Clock::time_point first =
                m_pacer->Queue(pending.wire.data(), pending.wire.size(), now);
            if (m_tap) {
                m_tap->Hear(
                    pending.wire.data(), pending.wire.size(), first,
                    m_options.pace ? Clock::duration(CharacterTime(m_options)) : Clock::duration());
            }
        } else {
            sent = WriteAll(pending.wire);
            if (sent && m_tap) {
                m_tap->Hear(pending.wire.data(), pending.wire.size(), now, {});
            }
        }
        std::string note = pending.corrupt ? "corrupt" : "";
        if (!sent) {
            note += note.empty() ? "not sent" : ", not sent";
        }
        const std::optional<std::string_view> text =
            pending.asciiText ? std::optional<std::string_view>(*pending.asciiText) : std::nullopt;
        m_log.Frame("tx", pending.logBytes, note, text);
    }
}

void CSlaveServer::FlushPacer(Clock::time_point now) {
    if (m_pacer) {
        if (const Bytes due = m_pacer->TakeDue(now); !due.empty()) {
            WriteAll(due);
        }
    }
}

void CSlaveServer::FlushTap(Clock::time_point now) {
    if (m_tap == nullptr) {
        return;
    }
    m_tap->Flush(now);
    if (m_tap->Dropped() > 0 && !m_bTapDropLogged) {
        m_bTapDropLogged = true;
        m_log.Frame("tap", {}, "full");
    }
}

bool CSlaveServer::WriteAll(const Bytes& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_line.Fd(), data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Nobody reads the other side and its queue is full: wait a little, then drop.
            pollfd out = {m_line.Fd(), POLLOUT, 0};
            if (::poll(&out, 1, kWriteStallMs) > 0 && (out.revents & POLLOUT) != 0) {
                continue;
            }
        }
        return false;
    }
    return true;
}

}  // namespace slave
