#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace slave {

// The simulator's control socket: a Unix stream socket on which each line is a command and
// each command gets one answer line. Only the user who runs the simulator may connect, and no
// client, however it behaves, holds up the others or grows the simulator without bound.
class CControlSocket {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t kMaxClients = 8;
    // The longest line, without its LF or CR LF.
    static constexpr std::size_t kMaxLine = 4096;
    // Answers a client has not read yet; past this it is closed.
    static constexpr std::size_t kMaxUnsent = 64 * 1024;
    static constexpr std::chrono::seconds kIdleLimit{300};
    // How long a client that is being closed has to read its last answers.
    static constexpr std::chrono::seconds kLinger{2};

    CControlSocket() = default;
    ~CControlSocket();
    CControlSocket(const CControlSocket&) = delete;
    CControlSocket& operator=(const CControlSocket&) = delete;

    // Refuses a path longer than sun_path holds, a path that exists and is not a socket, and a
    // socket another running process still accepts on; a socket nobody accepts on (left by a
    // run that crashed) is replaced. The socket is made with mode 0600.
    bool Open(const std::string& path, std::string& error);
    // Removes the path only while it is still the socket Open bound.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Serves until stopFd is readable, which it never reads: other threads may wait on the
    // same pipe. Each line goes to handler, and its answer, made one line, goes back.
    void Run(int stopFd, const std::function<std::string(std::string_view)>& handler);

private:
    struct Client {
        int fd = -1;
        std::string received;  // never more than one line too long and one read
        std::string unsent;
        Clock::time_point lastActive;
        bool closing = false;  // reads no more; closed once its answers are out
        Clock::time_point closeBy;
    };

    void Accept(Clock::time_point now);
    // Reads and answers what the client sent; false when it is to be closed at once.
    bool ReadClient(Client& client, const std::function<std::string(std::string_view)>& handler,
                    Clock::time_point now);
    // Answers each whole line in received; false when the client is to be closed at once.
    bool AnswerLines(Client& client, const std::function<std::string(std::string_view)>& handler,
                     Clock::time_point now);
    // Sends what the socket takes now; false when the client is gone.
    bool Flush(Client& client, Clock::time_point now);
    void StartClosing(Client& client, Clock::time_point now);
    Clock::time_point Deadline(const Client& client) const;
    void CloseClients();

    int m_fd = -1;
    std::string m_strPath;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::vector<Client> m_clients;
    // accept() out of descriptors leaves the listener readable: it waits until then.
    Clock::time_point m_acceptPausedUntil;
};

}  // namespace slave
