#include "lines/ModbusTlsPort.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "lines/ReadTimeouts.h"
#include "platform/FileReason.h"

namespace {

constexpr std::size_t kChunk = 4096;

std::string BioText(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data != nullptr && size > 0 ? data : "", size > 0 ? size : 0);
    BIO_free(bio);
    return text;
}

std::string NameText(const X509_NAME* name) {
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio == nullptr || name == nullptr) {
        BIO_free(bio);
        return {};
    }
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
    return BioText(bio);
}

std::string TimeText(const ASN1_TIME* time) {
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio == nullptr || time == nullptr) {
        BIO_free(bio);
        return {};
    }
    ASN1_TIME_print(bio, time);
    return BioText(bio);
}

bool IsIpAddress(const std::string& host) {
    in6_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

// Moves what TLS has written for the device into wire, after what wire holds.
void TakeOutput(BIO* out, std::vector<std::uint8_t>& wire) {
    for (std::size_t pending = BIO_ctrl_pending(out); pending > 0;
         pending = BIO_ctrl_pending(out)) {
        const std::size_t at = wire.size();
        wire.resize(at + pending);
        const int n = BIO_read(out, wire.data() + at, static_cast<int>(pending));
        wire.resize(at + static_cast<std::size_t>(std::max(n, 0)));
        if (n <= 0) {
            return;
        }
    }
}

}  // namespace

CModbusTlsPort::~CModbusTlsPort() {
    CModbusTlsPort::Close();
}

void CModbusTlsPort::FreeSession() {
    SSL_free(m_ssl);  // frees both buffers with it
    m_ssl = nullptr;
    m_in = nullptr;
    m_out = nullptr;
}

std::string CModbusTlsPort::Where() const {
    return Host() + " port " + PortText();
}

bool CModbusTlsPort::Open(const std::string& device) {
    if (IsOpen()) {
        return CTcpSerialPort::Open(device);  // refused as busy
    }
    FreeSession();
    m_context.reset();
    m_notes.clear();
    if (m_files.cert.empty() || m_files.key.empty() || m_files.ca.empty()) {
        return Fail(EINVAL, "a tls:// line needs cert=FILE, key=FILE and ca=FILE");
    }
    int error = 0;
    std::string reason;
    m_context = CTlsContext::Load(m_files, CTlsContext::Role::Client, error, reason);
    if (!m_context) {
        return Fail(error, reason);
    }
    if (std::optional<std::string> warning = KeyFileWarning(m_files.key)) {
        m_notes.push_back(std::move(*warning));
    }
    return CTcpSerialPort::Open(device);
}

bool CModbusTlsPort::Close() {
    if (m_ssl != nullptr && IsOpen() && LostError() == 0) {
        // The device is told the session ends, so it need not wait for a reset; one try, it
        // does not hold the close.
        ERR_clear_error();
        SSL_shutdown(m_ssl);
        std::vector<std::uint8_t> wire;
        TakeOutput(m_out, wire);
        if (!wire.empty()) {
            (void)Connection().Send(wire.data(), wire.size());
        }
        ERR_clear_error();
    }
    FreeSession();
    return CTcpSerialPort::Close();
}

std::vector<std::string> CModbusTlsPort::TakeNotes() {
    std::vector<std::string> notes = std::move(m_notes);
    m_notes.clear();
    std::vector<std::string> more = CTcpSerialPort::TakeNotes();
    notes.insert(notes.end(), more.begin(), more.end());
    return notes;
}

std::optional<TlsSessionInfo> CModbusTlsPort::Session() const {
    if (m_ssl == nullptr || !IsOpen()) {
        return std::nullopt;
    }
    TlsSessionInfo info;
    info.protocol = SSL_get_version(m_ssl);
    info.cipher = SSL_get_cipher_name(m_ssl);
    if (const X509* peer = SSL_get0_peer_certificate(m_ssl)) {
        info.peerSubject = NameText(X509_get_subject_name(peer));
        info.peerIssuer = NameText(X509_get_issuer_name(peer));
    }
    return info;
}

void CModbusTlsPort::OnMessage(int writing, int /*version*/, int type, const void* data,
                               std::size_t size, ssl_st* /*ssl*/, void* self) {
    auto* port = static_cast<CModbusTlsPort*>(self);
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (writing != 0 || port == nullptr || size < 1) {
        return;
    }
    if (type == SSL3_RT_ALERT && size >= 2) {
        int& alert = port->m_facts.alertReceived;
        if ((bytes[0] == SSL3_AL_FATAL && alert <= 0) ||
            (bytes[1] == SSL3_AD_CLOSE_NOTIFY && alert < 0)) {
            alert = bytes[1];
        }
    } else if (type == SSL3_RT_HANDSHAKE) {
        port->m_bCertificateAsked |= bytes[0] == SSL3_MT_CERTIFICATE_REQUEST;
        port->m_bTicketCame |= bytes[0] == SSL3_MT_NEWSESSION_TICKET;
    }
}

int CModbusTlsPort::OnVerify(int ok, x509_store_ctx_st* store) {
    if (ok != 0) {
        return ok;
    }
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* port = ssl == nullptr ? nullptr : static_cast<CModbusTlsPort*>(SSL_get_app_data(ssl));
    const X509* cert = X509_STORE_CTX_get_current_cert(store);
    if (port != nullptr && cert != nullptr && port->m_facts.certificateDate.empty()) {
        const int error = X509_STORE_CTX_get_error(store);
        if (error == X509_V_ERR_CERT_HAS_EXPIRED) {
            port->m_facts.certificateDate = TimeText(X509_get0_notAfter(cert));
        } else if (error == X509_V_ERR_CERT_NOT_YET_VALID) {
            port->m_facts.certificateDate = TimeText(X509_get0_notBefore(cert));
        }
    }
    return ok;
}

bool CModbusTlsPort::SetUpSession() {
    m_facts = TlsFailureFacts{};
    m_bCertificateAsked = false;
    m_bTicketCame = false;
    m_nWireSize = 0;
    m_ssl = SSL_new(m_context->Get());
    m_in = BIO_new(BIO_s_mem());
    m_out = BIO_new(BIO_s_mem());
    if (m_ssl == nullptr || m_in == nullptr || m_out == nullptr) {
        BIO_free(m_in);
        BIO_free(m_out);
        m_in = m_out = nullptr;
        return false;
    }
    SSL_set_bio(m_ssl, m_in, m_out);
    SSL_set_connect_state(m_ssl);
    SSL_set_app_data(m_ssl, this);
    SSL_set_msg_callback(m_ssl, OnMessage);
    SSL_set_msg_callback_arg(m_ssl, this);
    SSL_set_verify(m_ssl, SSL_VERIFY_PEER, OnVerify);
    X509_VERIFY_PARAM* param = SSL_get0_param(m_ssl);
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (IsIpAddress(Host())) {
        return X509_VERIFY_PARAM_set1_ip_asc(param, Host().c_str()) == 1;
    }
    return X509_VERIFY_PARAM_set1_host(param, Host().c_str(), 0) == 1 &&
           SSL_set_tlsext_host_name(m_ssl, Host().c_str()) == 1;
}

bool CModbusTlsPort::Flush(Clock::time_point deadline) {
    std::vector<std::uint8_t> wire;
    TakeOutput(m_out, wire);
    if (wire.empty() || SendAll(wire, true, deadline)) {
        return true;
    }
    const int error = LastError();
    return Fail(error, error == ECANCELED ? "the TLS handshake with " + Where() + " was cut short"
                       : error == ETIMEDOUT
                           ? "the TLS handshake with " + Where() + " did not end within " +
                                 std::to_string(kOpenBoundMs) + " ms"
                           : "cannot send to " + Where() + ": " + ErrnoText(error));
}

CModbusTlsPort::Received CModbusTlsPort::ReceiveRecord(Clock::time_point deadline) {
    std::uint8_t chunk[kChunk];
    const auto cutShort = [this] {
        Fail(ECANCELED, "the TLS handshake with " + Where() + " was cut short");
        return Received::Failed;
    };
    for (;;) {
        if (Connection().Aborted()) {
            return cutShort();
        }
        // A device that sends without pause keeps the socket readable, so the deadline is
        // looked at before every receive.
        const int ms = PollMsUntil(deadline);
        if (ms == 0) {
            return Received::TimedOut;
        }
        const long n = Connection().Receive(chunk, sizeof chunk);
        if (n > 0) {
            BIO_write(m_in, chunk, static_cast<int>(n));
            return Received::Got;
        }
        if (n == 0 || (n < 0 && errno == ECONNRESET)) {
            return Received::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            const int error = errno;
            Fail(error, "cannot receive from " + Where() + ": " + ErrnoText(error));
            return Received::Failed;
        }
        switch (WaitFor(POLLIN, ms)) {
            case CTcpConnection::Wait::Ready:
            case CTcpConnection::Wait::TimedOut:
                break;
            case CTcpConnection::Wait::Aborted:
                return cutShort();
            case CTcpConnection::Wait::Failed: {
                const int error = LastError();
                Fail(error, "cannot receive from " + Where() + ": " + ErrnoText(error));
                return Received::Failed;
            }
        }
    }
}

bool CModbusTlsPort::Refuse(int error) {
    if (m_ssl != nullptr) {
        m_facts.verifyResult = SSL_get_verify_result(m_ssl);
    }
    if (m_facts.error == 0) {
        m_facts.error = ERR_peek_error();
    }
    ERR_clear_error();
    FreeSession();
    return Fail(error, TlsFailureText(m_facts, Host(), m_files.ca));
}

bool CModbusTlsPort::Handshake(Clock::time_point deadline) {
    if (!SetUpSession()) {
        FreeSession();
        return Fail(ENOMEM, "TLS cannot start a session with " + Where());
    }
    for (;;) {
        ERR_clear_error();
        const int rc = SSL_do_handshake(m_ssl);
        const int why = rc == 1 ? SSL_ERROR_NONE : SSL_get_error(m_ssl, rc);
        m_facts.error = ERR_peek_error();
        if (rc != 1 && why != SSL_ERROR_WANT_READ) {
            // The alert that tells the device why goes out if it can; a device that has gone
            // already does not change the reason.
            std::vector<std::uint8_t> alert;
            TakeOutput(m_out, alert);
            (void)Connection().Send(alert.data(), alert.size());
            return Refuse(EPROTO);
        }
        if (!Flush(deadline)) {
            FreeSession();
            return false;
        }
        if (rc == 1) {
            break;
        }
        switch (ReceiveRecord(deadline)) {
            case Received::Got:
                continue;
            case Received::Closed:
                m_facts.closed = true;
                return Refuse(EPROTO);
            case Received::TimedOut:
                FreeSession();
                return Fail(ETIMEDOUT, "the TLS handshake with " + Where() +
                                           " did not end within " + std::to_string(kOpenBoundMs) +
                                           " ms");
            case Received::Failed:
                FreeSession();
                return false;
        }
    }
    if (!m_bCertificateAsked) {
        // Without this end's certificate the device cannot know who is asking: the session
        // would not be Modbus/TCP Security.
        Close();
        return Fail(EPROTO, "the device accepted no client certificate (it asked for none)");
    }
    return SSL_version(m_ssl) < TLS1_3_VERSION || AwaitVerdict(deadline);
}

bool CModbusTlsPort::AwaitVerdict(Clock::time_point deadline) {
    const Clock::time_point until =
        std::min(deadline, Clock::now() + std::chrono::milliseconds(kVerdictMs));
    m_facts.afterHandshake = true;
    while (!m_bTicketCame) {
        if (!TakePlain()) {
            return Refuse(EPROTO);
        }
        if (m_bTicketCame) {
            break;
        }
        switch (ReceiveRecord(until)) {
            case Received::Got:
                break;
            case Received::Closed:
                m_facts.closed = true;
                return Refuse(EPROTO);
            case Received::TimedOut:
                // A device that sends no tickets says nothing when it accepts.
                return true;
            case Received::Failed:
                FreeSession();
                return false;
        }
    }
    return TakePlain() || Refuse(EPROTO);
}

bool CModbusTlsPort::TakePlain() {
    std::uint8_t plain[kChunk];
    for (;;) {
        ERR_clear_error();
        const int n = SSL_read(m_ssl, plain, sizeof plain);
        if (n > 0) {
            AppendReceived(plain, static_cast<std::size_t>(n));
            continue;
        }
        const int why = SSL_get_error(m_ssl, n);
        if (why == SSL_ERROR_WANT_READ) {
            return true;
        }
        m_facts.error = ERR_peek_error();
        m_facts.closed = why == SSL_ERROR_ZERO_RETURN;
        return false;
    }
}

void CModbusTlsPort::LoseLine(int error) {
    if (m_ssl != nullptr) {
        m_facts.verifyResult = SSL_get_verify_result(m_ssl);
    }
    m_facts.afterHandshake = true;
    ERR_clear_error();
    LineLost(error);
    Fail(error, TlsFailureText(m_facts, Host(), m_files.ca));
}

void CModbusTlsPort::Decode(const std::uint8_t* raw, std::size_t count) {
    if (m_ssl == nullptr || LostError() != 0) {
        return;
    }
    BIO_write(m_in, raw, static_cast<int>(count));
    if (!TakePlain()) {
        LoseLine(m_facts.closed ? ECONNRESET : EPROTO);
    }
}

void CModbusTlsPort::Encode(const std::uint8_t* data, std::uint32_t count,
                            std::vector<std::uint8_t>& wire) {
    wire.clear();
    m_nWireSize = 0;
    if (m_ssl == nullptr || LostError() != 0) {
        LineLost(EPROTO);
        return;
    }
    // What TLS wrote for the device while reading (a key update's answer) goes first.
    TakeOutput(m_out, wire);
    ERR_clear_error();
    if (count > 0 && SSL_write(m_ssl, data, static_cast<int>(count)) <= 0) {
        m_facts.error = ERR_peek_error();
        LoseLine(EPROTO);
        wire.clear();
        return;
    }
    TakeOutput(m_out, wire);
    m_nWireSize = wire.size();
}

std::uint32_t CModbusTlsPort::DataBytesSent(const std::uint8_t* /*data*/, std::uint32_t /*count*/,
                                            std::size_t sent) {
    if (sent > 0 && sent < m_nWireSize) {
        // Half a record on the connection leaves nothing after it readable to the device.
        LineLost(EPROTO);
        Fail(EPROTO, "a TLS record to " + Where() +
                         " was cut short; the line is gone until it "
                         "is opened again");
    }
    return 0;
}
