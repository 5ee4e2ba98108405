#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/slave/RoleCheck.h"

struct ssl_ctx_st;
struct ssl_st;

namespace slave {

// The device's end of one Modbus/TCP Security client on its non-blocking socket: the handshake
// taken a step at a time as the socket allows, so that a client that stalls in it holds up
// nobody else, then the client's plain bytes both ways. The socket stays the caller's.
class CTlsSession {
public:
    enum class Step { Done, Again, Failed };
    enum class Received { Got, None, Closed, Failed };

    // The context asks for the client's certificate and checks it; Ok() is false when TLS
    // could not start on the socket.
    CTlsSession(ssl_ctx_st* context, int fd);
    ~CTlsSession();
    CTlsSession(const CTlsSession&) = delete;
    CTlsSession& operator=(const CTlsSession&) = delete;

    bool Ok() const { return m_ssl != nullptr; }
    bool Established() const { return m_bEstablished; }

    // Goes on with the handshake: Done once it is over (Identity() is then known), Again while
    // it waits for the socket (Events() says for what), Failed with Reason().
    Step Handshake();
    // What the last step waited for: POLLIN, POLLOUT or both.
    short Events() const { return m_events; }

    // Up to size plain bytes into data: Got with got set, None when nothing has come, Closed
    // when the client ended the stream, Failed with Reason().
    Received Read(std::uint8_t* data, std::size_t size, std::size_t& got);
    // Sends all of it at once, or fails: a client that has stopped reading gets nothing more.
    bool Write(const std::uint8_t* data, std::size_t size);
    // Bytes TLS has taken from the socket and not yet handed out: poll() cannot see them.
    bool HasPending() const;

    // Why the session failed, in words, without anything the client sent.
    const std::string& Reason() const { return m_reason; }
    const ClientIdentity& Identity() const { return m_identity; }
    // "TLSv1.3".
    std::string Protocol() const;

    // Tells the client the session ends, as far as the socket takes it now.
    void Shutdown();

private:
    // The last call failed with OpenSSL's error: the reason set, the session not used again.
    void Fail(int error);
    void ReadIdentity();

    ssl_st* m_ssl = nullptr;
    bool m_bEstablished = false;
    bool m_bBroken = false;
    short m_events = 0;
    std::string m_reason;
    ClientIdentity m_identity;
};

}  // namespace slave
