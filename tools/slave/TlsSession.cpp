#include "tools/slave/TlsSession.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>
#include <memory>

#include "lines/CertificateRole.h"

namespace slave {

namespace {

// No parentheses: the text goes into a note of the log, which they close.
const char* kVersionRefused = "protocol version refused, TLS 1.2 or newer needed";

std::string VerifyWords(long result) {
    switch (result) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
            return "unknown CA: the client's certificate is not signed by the CA";
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "the client's certificate has expired";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "the client's certificate is not yet valid";
        default:
            return "the client's certificate is refused: " +
                   std::string(X509_verify_cert_error_string(result));
    }
}

std::string ErrorWords(unsigned long error) {
    if (ERR_GET_LIB(error) == ERR_LIB_SSL) {
        switch (ERR_GET_REASON(error)) {
            case SSL_R_PEER_DID_NOT_RETURN_A_CERTIFICATE:
                return "the client showed no certificate";
            case SSL_R_UNSUPPORTED_PROTOCOL:
            case SSL_R_NO_PROTOCOLS_AVAILABLE:
            case SSL_R_VERSION_TOO_LOW:
            case SSL_R_WRONG_SSL_VERSION:
                return kVersionRefused;
            case SSL_R_WRONG_VERSION_NUMBER:
            case SSL_R_HTTP_REQUEST:
            case SSL_R_HTTPS_PROXY_REQUEST:
            case SSL_R_PACKET_LENGTH_TOO_LONG:
            case SSL_R_RECORD_LENGTH_MISMATCH:
            case SSL_R_UNEXPECTED_MESSAGE:
            case SSL_R_UNEXPECTED_RECORD:
            case SSL_R_BAD_RECORD_TYPE:
            case SSL_R_LENGTH_MISMATCH:
            case SSL_R_ENCRYPTED_LENGTH_TOO_LONG:
                return "the client does not speak TLS";
            default:
                break;
        }
    }
    const char* words = error == 0 ? nullptr : ERR_reason_error_string(error);
    return words != nullptr ? words : "no reason given";
}

void ReadRole(X509* cert, ClientIdentity& identity) {
    const CertificateRole found = ReadCertificateRole(cert);
    identity.role = found.role;
    identity.claim = found.claim == CertificateRole::Claim::None ? ClientIdentity::Claim::None
                     : found.claim == CertificateRole::Claim::Named
                         ? ClientIdentity::Claim::Named
                         : ClientIdentity::Claim::Unreadable;
}

std::string SubjectText(X509* cert) {
    std::unique_ptr<BIO, int (*)(BIO*)> bio(BIO_new(BIO_s_mem()), BIO_free);
    if (!bio ||
        X509_NAME_print_ex(bio.get(), X509_get_subject_name(cert), 0, XN_FLAG_RFC2253) < 0) {
        return {};
    }
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size > 0 ? size : 0));
}

}  // namespace

CTlsSession::CTlsSession(ssl_ctx_st* context, int fd) {
    ERR_clear_error();
    m_ssl = SSL_new(context);
    if (m_ssl != nullptr && SSL_set_fd(m_ssl, fd) != 1) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    if (m_ssl == nullptr) {
        m_reason = "TLS cannot start: " + ErrorWords(ERR_get_error());
        ERR_clear_error();
        return;
    }
    SSL_set_accept_state(m_ssl);
    m_events = POLLIN;
}

CTlsSession::~CTlsSession() {
    SSL_free(m_ssl);
}

CTlsSession::Step CTlsSession::Handshake() {
    if (m_bBroken) {
        return Step::Failed;
    }
    if (m_bEstablished) {
        return Step::Done;
    }
    ERR_clear_error();
    const int rc = SSL_do_handshake(m_ssl);
    if (rc == 1) {
        m_bEstablished = true;
        m_events = POLLIN;
        ReadIdentity();
        return Step::Done;
    }
    const int error = SSL_get_error(m_ssl, rc);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        m_events = error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
        return Step::Again;
    }
    Fail(error);
    return Step::Failed;
}

CTlsSession::Received CTlsSession::Read(std::uint8_t* data, std::size_t size, std::size_t& got) {
    got = 0;
    if (m_bBroken) {
        return Received::Failed;
    }
    ERR_clear_error();
    const int rc = SSL_read_ex(m_ssl, data, size, &got);
    if (rc == 1) {
        m_events = POLLIN;
        return Received::Got;
    }
    const int error = SSL_get_error(m_ssl, rc);
    switch (error) {
        case SSL_ERROR_WANT_READ:
            m_events = POLLIN;
            return Received::None;
        case SSL_ERROR_WANT_WRITE:
            // TLS 1.3 answers a key update of the client's; the read goes on once it is out.
            m_events = POLLIN | POLLOUT;
            return Received::None;
        case SSL_ERROR_ZERO_RETURN:
            return Received::Closed;
        default:
            break;
    }
    const unsigned long code = ERR_peek_error();
    if (error == SSL_ERROR_SYSCALL ||
        (ERR_GET_LIB(code) == ERR_LIB_SSL &&
         ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING)) {
        // Gone without saying so: for the device the same as a close.
        m_bBroken = true;
        ERR_clear_error();
        return Received::Closed;
    }
    Fail(error);
    return Received::Failed;
}

bool CTlsSession::Write(const std::uint8_t* data, std::size_t size) {
    if (m_bBroken) {
        return false;
    }
    ERR_clear_error();
    std::size_t written = 0;
    if (SSL_write_ex(m_ssl, data, size, &written) == 1 && written == size) {
        return true;
    }
    // Part of a record may be in the stream: nothing can follow it.
    m_bBroken = true;
    ERR_clear_error();
    return false;
}

bool CTlsSession::HasPending() const {
    return !m_bBroken && m_bEstablished && SSL_has_pending(m_ssl) == 1;
}

std::string CTlsSession::Protocol() const {
    return m_ssl != nullptr ? SSL_get_version(m_ssl) : "";
}

void CTlsSession::Shutdown() {
    if (m_bEstablished && !m_bBroken) {
        ERR_clear_error();
        SSL_shutdown(m_ssl);
        ERR_clear_error();
    }
    m_bBroken = true;
}

void CTlsSession::Fail(int error) {
    m_bBroken = true;
    const long verify = SSL_get_verify_result(m_ssl);
    if (error == SSL_ERROR_SSL && verify != X509_V_OK) {
        m_reason = VerifyWords(verify);
    } else if (error == SSL_ERROR_SSL) {
        m_reason = ErrorWords(ERR_peek_error());
    } else if (!m_bEstablished) {
        m_reason = "the client closed the connection during the handshake";
    } else {
        m_reason = "the connection failed";
    }
    ERR_clear_error();
}

void CTlsSession::ReadIdentity() {
    std::unique_ptr<X509, void (*)(X509*)> cert(SSL_get1_peer_certificate(m_ssl), X509_free);
    if (!cert) {
        // The context refuses a client without a certificate; this is only ever a guard.
        m_identity.claim = ClientIdentity::Claim::Unreadable;
        return;
    }
    m_identity.subject = SubjectText(cert.get());
    ReadRole(cert.get(), m_identity);
}

}  // namespace slave
