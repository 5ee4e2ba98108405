#include "tools/monitor/MonitorRun.h"

#include <cerrno>
#include <thread>

#include "lines/TraceFile.h"
#include "lines/TracePort.h"
#include "platform/FileReason.h"
#include "tools/common/FlushedOutput.h"
#include "tools/monitor/MonitorFormat.h"

namespace monitor {

namespace {

// Read at most this much at once; a line faster than the loop only makes more reads.
constexpr std::size_t kReadBytes = 4096;

// Turns the decoder's monotonic times into wall-clock ones for printing.
class CWallClock {
public:
    std::chrono::system_clock::time_point At(Clock::time_point when) const {
        return m_wall +
               std::chrono::duration_cast<std::chrono::system_clock::duration>(when - m_steady);
    }

private:
    Clock::time_point m_steady = Clock::now();
    std::chrono::system_clock::time_point m_wall = std::chrono::system_clock::now();
};

class CPrinter {
public:
    CPrinter(const MonitorOptions& o, std::FILE* out, CTraceFile* trace, std::string device)
        : m_style{o.format, o.type, o.order},
          m_limit(o.records),
          m_out(out),
          m_trace(trace),
          m_strDevice(std::move(device)) {}

    // False once the count is reached or the output failed.
    bool Emit(CBusDecoder& decoder, RunSummary& summary) {
        std::string text;
        for (const MonitorRecord& r : decoder.Take()) {
            if (Done(summary)) {
                break;
            }
            const auto wall = m_clock.At(r.time);
            text += FormatMonitorRecord(m_style, r, wall);
            ++summary.records;
            if (m_trace != nullptr) {
                std::string line = TraceTimeStamp(wall) + " " + m_strDevice + " " +
                                   KindName(r.kind) + " " +
                                   TraceBytes(r.bytes.data(), r.bytes.size());
                m_trace->Append(r.error.empty() ? line : line + " (" + r.error + ")");
            }
        }
        if (!text.empty()) {
            if (m_trace != nullptr) {
                m_trace->Flush();
            }
            if (const int error = poll::PrintFlushed(text, m_out);
                error != 0 && summary.outputError == 0) {
                summary.outputError = error;
            }
        }
        return !Done(summary);
    }

private:
    bool Done(const RunSummary& s) const {
        return s.outputError != 0 || (m_limit != 0 && s.records >= m_limit);
    }

    RecordStyle m_style;
    std::uint64_t m_limit;
    std::FILE* m_out;
    CTraceFile* m_trace;
    std::string m_strDevice;
    CWallClock m_clock;
};

std::string EndReason(CListenLine::Read read, int error, bool socket) {
    if (read == CListenLine::Read::Ended && socket && error == 0) {
        return "the server closed the connection";
    }
    // What a tty says when its adapter is unplugged or a pseudo-terminal's program ended.
    if (read == CListenLine::Read::Ended && !socket && (error == 0 || error == EIO)) {
        return "the line hung up: the device went away or its other side closed";
    }
    return std::string(read == CListenLine::Read::Ended ? "the line is gone: " : "read failed: ") +
           ErrnoText(error);
}

}  // namespace

DecoderSettings SettingsFor(const MonitorOptions& o) {
    DecoderSettings settings;
    settings.mode = o.mode;
    settings.characterTime = std::chrono::nanoseconds(CharacterNs(o.line));
    settings.answerTimeout = std::chrono::milliseconds(o.timeoutMs);
    return settings;
}

RunSummary RunMonitor(CListenLine& line, CBusDecoder& decoder, const MonitorOptions& o,
                      std::FILE* out, CTraceFile* trace) {
    RunSummary summary;
    CPrinter printer(o, out, trace, line.Device());
    if (const std::string header = FormatMonitorHeader(o.format); !header.empty()) {
        summary.outputError = poll::PrintFlushed(header, out);
    }
    const Clock::time_point start = Clock::now();
    const std::optional<Clock::time_point> end =
        o.durationS == 0
            ? std::nullopt
            : std::optional<Clock::time_point>(start + std::chrono::seconds(o.durationS));
    std::uint8_t buffer[kReadBytes];
    bool going = summary.outputError == 0;
    while (going) {
        Clock::time_point now = Clock::now();
        if (end && now >= *end) {
            break;
        }
        std::optional<Clock::time_point> deadline = decoder.Deadline();
        if (deadline && *deadline <= now) {
            decoder.Tick(now);
            if (!printer.Emit(decoder, summary)) {
                break;
            }
            deadline = decoder.Deadline();
        }
        std::optional<Clock::time_point> wake = end;
        if (deadline && (!wake || *deadline < *wake)) {
            wake = deadline;
        }
        // At least a millisecond: a deadline that Tick did not move must not spin the loop.
        const int waitMs = wake ? std::max(PollMsUntil(*wake), 1) : -1;
        int error = 0;
        switch (line.WaitReadable(waitMs, error)) {
            case CListenLine::Wait::Stopped:
                summary.stopped = true;
                going = false;
                continue;
            case CListenLine::Wait::Failed:
                summary.lineEnd = "wait failed: " + ErrnoText(error);
                going = false;
                continue;
            case CListenLine::Wait::TimedOut:
                continue;
            case CListenLine::Wait::Ready:
                break;
        }
        std::size_t got = 0;
        const CListenLine::Read read = line.Take(buffer, sizeof buffer, got, error);
        if (read == CListenLine::Read::Got) {
            decoder.Feed(buffer, got, Clock::now());
            going = printer.Emit(decoder, summary);
        } else if (read == CListenLine::Read::Empty) {
            // Readable yet nothing to read: a line in that state must not spin the loop.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else {
            summary.lineEnd = EndReason(read, error, line.IsSocket());
            going = false;
        }
    }
    decoder.Finish(Clock::now());
    printer.Emit(decoder, summary);
    if (trace != nullptr) {
        trace->Flush();
    }
    return summary;
}

}  // namespace monitor
