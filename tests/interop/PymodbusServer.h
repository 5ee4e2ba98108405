#pragma once

#include <sys/types.h>

#include <string>

// pymodbus's Modbus server (pymodbus_server.py beside this file) as a child process on a
// loopback port: an outside implementation for the master to talk to. Killed on destruction.
class CPymodbusServer {
public:
    enum class Outcome { Ready, Missing, Failed };

    CPymodbusServer() = default;
    ~CPymodbusServer();
    CPymodbusServer(const CPymodbusServer&) = delete;
    CPymodbusServer& operator=(const CPymodbusServer&) = delete;

    // A port on 127.0.0.1 free for "tcp" or "udp" at the time of asking.
    static int FreePort(const std::string& kind);

    // Serves "tcp" or "udp" on the port and waits until it answers; Missing when the Python
    // package or interpreter is not there, with the script's words in Said().
    Outcome Start(const std::string& kind, int port);
    // SIGKILL, as a crashed or powered-off device; reaped before it returns.
    void Kill();
    const std::string& Said() const { return m_strSaid; }

private:
    pid_t m_pid = -1;
    std::string m_strSaid;
};
