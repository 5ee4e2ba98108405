#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lines/AbortableWait.h"
#include "lines/TcpConnection.h"
#include "tools/monitor/ListenSettings.h"

namespace monitor {

// The bus as a monitor holds it: a tty opened for reading only with DTR and RTS cleared, or a
// device server's raw TCP port that is only read. No call here writes to the line; the class
// has no way to. Stop() may come from any thread and ends a wait at once.
class CListenLine {
public:
    enum class Wait { Ready, TimedOut, Stopped, Failed };
    enum class Read { Got, Empty, Ended, Failed };

    CListenLine() = default;
    ~CListenLine();
    CListenLine(const CListenLine&) = delete;
    CListenLine& operator=(const CListenLine&) = delete;

    // Resolves COMn, refuses the lines a monitor cannot or must not use, opens and sets the
    // line; false with the reason in one line.
    bool Open(const ListenSettings& settings, std::string& reason);
    // The device opened, for the trace and the summary: the path or HOST:PORT.
    const std::string& Device() const { return m_strDevice; }

    // timeoutMs < 0: no bound. On Failed the errno is in error.
    Wait WaitReadable(int timeoutMs, int& error);
    // Takes what has come, at most count bytes; Ended when the other side has gone for good.
    Read Take(std::uint8_t* data, std::size_t count, std::size_t& got, int& error);
    void Stop();
    bool IsSocket() const { return m_bSocket; }

private:
    bool OpenTty(const ListenSettings& settings, bool lowLatency, std::string& reason);

    int m_fd = -1;  // a tty; a socket lives in m_conn
    bool m_bSocket = false;
    std::string m_strDevice;
    CAbortableWait m_wait;
    CTcpConnection m_conn;
};

}  // namespace monitor
