#pragma once

#include <memory>
#include <optional>
#include <string>

#include "LineAddress.h"

struct ssl_ctx_st;

// The TLS settings of one end of a Modbus/TCP Security connection, loaded from its files: its
// certificate chain and key (checked to belong together), the CA that must have signed the
// peer's certificate, TLS 1.2 or newer only, the peer's certificate always asked for and
// verified. A key protected by a password is refused rather than asked for on the terminal.
class CTlsContext {
public:
    enum class Role { Client, Server };

    ~CTlsContext();
    CTlsContext(const CTlsContext&) = delete;
    CTlsContext& operator=(const CTlsContext&) = delete;

    // The context, or null with the errno (of the file that could not be read, else EINVAL) and
    // the reason, which names the file at fault and never holds what is in it.
    static std::unique_ptr<CTlsContext> Load(const TlsFiles& files, Role role, int& error,
                                             std::string& reason);

    ssl_ctx_st* Get() const { return m_ctx; }

private:
    explicit CTlsContext(ssl_ctx_st* ctx) : m_ctx(ctx) {}

    ssl_ctx_st* m_ctx;
};

// A warning to print when the private key file can be read by its group or by others, as ssh
// warns of such a key; nullopt when only its owner can read it or it cannot be looked at.
std::optional<std::string> KeyFileWarning(const std::string& path);
