#include "lines/TlsFailure.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace {

constexpr const char* kVersionRefused = "protocol version refused (TLS 1.2 or newer needed)";

std::string VerifyText(const TlsFailureFacts& facts, const std::string& host,
                       const std::string& caFile) {
    switch (facts.verifyResult) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
            return "unknown CA: the device's certificate is not signed by the CA in " + caFile;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "the device's certificate is for another name than " + host;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "certificate expired: the device's certificate was valid until " +
                   facts.certificateDate;
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "certificate not yet valid: the device's certificate is valid from " +
                   facts.certificateDate;
        default:
            break;
    }
    return "the device's certificate is refused: " +
           std::string(X509_verify_cert_error_string(facts.verifyResult));
}

bool IsVersionFault(unsigned long error) {
    if (ERR_GET_LIB(error) != ERR_LIB_SSL) {
        return false;
    }
    switch (ERR_GET_REASON(error)) {
        case SSL_R_UNSUPPORTED_PROTOCOL:
        case SSL_R_NO_PROTOCOLS_AVAILABLE:
        case SSL_R_WRONG_SSL_VERSION:
        case SSL_R_VERSION_TOO_LOW:
        case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
            return true;
        default:
            return false;
    }
}

// A peer that sends no TLS record header at all: a plain Modbus TCP device, or noise.
bool IsNotTls(unsigned long error) {
    if (ERR_GET_LIB(error) != ERR_LIB_SSL) {
        return false;
    }
    switch (ERR_GET_REASON(error)) {
        case SSL_R_WRONG_VERSION_NUMBER:
        case SSL_R_PACKET_LENGTH_TOO_LONG:
        case SSL_R_HTTP_REQUEST:
        case SSL_R_UNEXPECTED_MESSAGE:
        case SSL_R_UNEXPECTED_RECORD:
        case SSL_R_BAD_RECORD_TYPE:
        case SSL_R_LENGTH_MISMATCH:
        case SSL_R_ENCRYPTED_LENGTH_TOO_LONG:
            return true;
        default:
            return false;
    }
}

std::string Reason(unsigned long error) {
    const char* words = error == 0 ? nullptr : ERR_reason_error_string(error);
    return words != nullptr ? words : "no reason given";
}

}  // namespace

std::string TlsAlertWords(int alert) {
    return SSL_alert_desc_string_long(alert);
}

bool IsCertificateAlert(int alert) {
    switch (alert) {
        case SSL3_AD_BAD_CERTIFICATE:
        case SSL3_AD_UNSUPPORTED_CERTIFICATE:
        case SSL3_AD_CERTIFICATE_REVOKED:
        case SSL3_AD_CERTIFICATE_EXPIRED:
        case SSL3_AD_CERTIFICATE_UNKNOWN:
        case TLS1_AD_UNKNOWN_CA:
        case TLS1_AD_ACCESS_DENIED:
        case TLS13_AD_CERTIFICATE_REQUIRED:
            return true;
        default:
            return false;
    }
}

std::string TlsFailureText(const TlsFailureFacts& facts, const std::string& host,
                           const std::string& caFile) {
    if (facts.verifyResult != X509_V_OK) {
        return VerifyText(facts, host, caFile);
    }
    if (facts.alertReceived == TLS1_AD_PROTOCOL_VERSION) {
        return kVersionRefused;
    }
    if (IsCertificateAlert(facts.alertReceived)) {
        return "the device accepted no client certificate (it answered: " +
               TlsAlertWords(facts.alertReceived) + ")";
    }
    if (facts.afterHandshake && (facts.closed || facts.alertReceived >= 0)) {
        return "the device closed the connection after the handshake" +
               (facts.alertReceived > 0
                    ? " (it answered: " + TlsAlertWords(facts.alertReceived) + ")"
                    : std::string());
    }
    if (facts.alertReceived >= 0) {
        return "the device refused the TLS handshake (it answered: " +
               TlsAlertWords(facts.alertReceived) + ")";
    }
    if (IsVersionFault(facts.error)) {
        return kVersionRefused;
    }
    if (facts.closed) {
        return "the device closed the connection during the TLS handshake";
    }
    if (IsNotTls(facts.error)) {
        return "the device does not speak TLS (" + Reason(facts.error) + ")";
    }
    return std::string(facts.afterHandshake ? "TLS failed (" : "the TLS handshake failed (") +
           Reason(facts.error) + ")";
}
