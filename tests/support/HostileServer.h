#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// A device server on 127.0.0.1 that misbehaves on purpose, on a thread of its own: it floods,
// storms with Telnet options, says nothing, or never lets a connection complete. Everything it
// does is bounded: it gives up by itself after kLifeS seconds.
enum class Hostility {
    Flood,              // sends line bytes without pause from the first moment
    FloodAfterComPort,  // accepts COM Port Control, then floods
    OptionStorm,        // IAC WILL x, IAC DO y, endlessly, x and y varying
    Silent,             // accepts and never says a word
    BacklogFull,        // its listen queue is full, so a connect is never completed
};

class CHostileServer {
public:
    static constexpr int kLifeS = 30;

    ~CHostileServer() { Stop(); }

    // Listens on a free port; false when no socket could be had.
    bool Start(Hostility how);
    void Stop();
    std::string Endpoint() const { return "127.0.0.1:" + std::to_string(m_nPort); }
    std::uint64_t BytesFromClient() const { return m_nFromClient; }

private:
    void Serve(Hostility how);

    int m_nListen = -1;
    int m_fillers[2] = {-1, -1};  // the connections that fill a full backlog
    int m_nPort = 0;
    std::thread m_run;
    std::atomic<bool> m_bStop{false};
    std::atomic<std::uint64_t> m_nFromClient{0};
};
