#pragma once

#include <string>

#include "tools/slave/SlaveOptions.h"

namespace slave {

// The simulator's socket for --tcp, --udp or --rtu-tcp: bound to --bind and the port, listening for
// TCP, non-blocking and close-on-exec.
class CNetListener {
public:
    CNetListener() = default;
    ~CNetListener();
    CNetListener(const CNetListener&) = delete;
    CNetListener& operator=(const CNetListener&) = delete;

    // On failure returns false with a reason in error.
    bool Open(const SlaveOptions& options, const NetPort& port, std::string& error);

    int Fd() const { return m_fd; }
    // The address and the port actually bound: "127.0.0.1:5020", "[::1]:5020".
    const std::string& Address() const { return m_strAddress; }
    // Only this machine can reach the socket.
    bool IsLoopback() const { return m_bLoopback; }

private:
    int m_fd = -1;
    std::string m_strAddress;
    bool m_bLoopback = false;
};

}  // namespace slave
