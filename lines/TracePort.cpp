#include "lines/TracePort.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

bool IsTextByte(std::uint8_t byte) {
    return (byte >= 0x20 && byte < 0x7F) || byte == '\r' || byte == '\n';
}

}  // namespace

std::string TraceTimeStamp(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() %
        1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}

std::string TraceBytes(const std::uint8_t* data, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 4 + 4);
    bool text = count > 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out += ' ';
        }
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
        text = text && IsTextByte(data[i]);
    }
    if (text) {
        out += " \"";
        for (std::size_t i = 0; i < count; ++i) {
            out += data[i] == '\r'   ? std::string("\\r")
                   : data[i] == '\n' ? std::string("\\n")
                                     : std::string(1, static_cast<char>(data[i]));
        }
        out += '"';
    }
    return out;
}

CTracePort::CTracePort(std::unique_ptr<CSerialPort> inner, std::shared_ptr<CTraceFile> file,
                       std::string label)
    : CPortLayer(std::move(inner)), m_pFile(std::move(file)), m_strLabel(std::move(label)) {}

CTracePort::~CTracePort() {
    FlushReceived();
    m_pFile->Flush();
}

void CTracePort::Note(const std::string& text) {
    m_pFile->Append(TraceTimeStamp(WallClock::now()) + " " + m_strLabel + " " + text);
}

bool CTracePort::Open(const std::string& device) {
    const bool opened = CPortLayer::Open(device);
    if (!opened) {
        const std::string why = CPortLayer::LastErrorText();
        Note("open failed: " +
             (why.empty() ? std::string(std::strerror(CPortLayer::LastError())) : why));
    } else {
        Note("open");
    }
    m_pFile->Flush();
    return opened;
}

bool CTracePort::Close() {
    if (!CPortLayer::IsOpen()) {
        return CPortLayer::Close();
    }
    FlushReceived();
    const bool closed = CPortLayer::Close();
    Note("close");
    m_pFile->Flush();
    return closed;
}

bool CTracePort::SetLine(const SerialDcb& dcb) {
    const bool set = CPortLayer::SetLine(dcb);
    for (const std::string& note : CPortLayer::TakeNotes()) {
        Note(note);
    }
    m_pFile->Flush();
    return set;
}

void CTracePort::Frame(WallClock::time_point when, const char* direction, const std::uint8_t* data,
                       std::size_t count, const std::string& note) {
    std::string line =
        TraceTimeStamp(when) + " " + m_strLabel + " " + direction + " " + TraceBytes(data, count);
    if (!note.empty()) {
        line += " (" + note + ")";
    }
    m_pFile->Append(line);
}

void CTracePort::FlushReceived() {
    if (!m_received.empty()) {
        Frame(m_firstReceived, "rx", m_received.data(), m_received.size());
        m_received.clear();
    }
}

void CTracePort::BeginExchange(std::uint32_t responseTimeoutMs) {
    FlushReceived();
    m_exchangeStart = std::chrono::steady_clock::now();
    m_bInExchange = true;
    CPortLayer::BeginExchange(responseTimeoutMs);
}

bool CTracePort::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) {
    FlushReceived();
    const auto when = WallClock::now();
    std::uint32_t done = 0;
    const bool ok = CPortLayer::Write(data, count, &done);
    if (written != nullptr) {
        *written = done;
    }
    std::string note;
    if (!ok) {
        const std::string why = CPortLayer::LastErrorText();
        note = "write failed: " +
               (why.empty() ? std::string(std::strerror(CPortLayer::LastError())) : why);
    }
    // A short write shows what left; the bytes asked for are the request itself.
    Frame(when, "tx", data, ok ? count : done, note);
    if (!m_bInExchange) {
        m_pFile->Flush();
    }
    return ok;
}

bool CTracePort::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) {
    std::uint32_t got = 0;
    const bool ok = CPortLayer::Read(data, count, &got);
    if (received != nullptr) {
        *received = got;
    }
    if (got > 0) {
        if (m_received.empty()) {
            m_firstReceived = WallClock::now();
        }
        m_received.insert(m_received.end(), data, data + std::min(got, count));
    }
    return ok;
}

void CTracePort::EndExchange(std::uint16_t code, const std::string& text) {
    CPortLayer::EndExchange(code, text);
    FlushReceived();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - m_exchangeStart)
                        .count();
    Note("result " + std::to_string(code) + " " + text + " (" + std::to_string(ms) + " ms)");
    m_bInExchange = false;
    m_pFile->Flush();
}
