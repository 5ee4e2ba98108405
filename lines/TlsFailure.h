#pragma once

#include <string>

// What was seen of a TLS session that failed, gathered while it ran, to say in words why.
struct TlsFailureFacts {
    bool afterHandshake = false;  // the handshake had ended when it failed
    long verifyResult = 0;        // X509_V_OK unless the peer's certificate was refused
    std::string certificateDate;  // the refused certificate's end (or start) of validity
    int alertReceived = -1;       // the peer's fatal alert or close, -1 when none came
    unsigned long error = 0;      // OpenSSL's error code, 0 when none
    bool closed = false;          // the peer closed the connection
};

// Why a Modbus/TCP Security connection to a device failed, as a person reads it: "unknown CA:
// ...", "certificate expired: ...", "the device accepted no client certificate (...)".
// host is the name the device was asked for by, caFile the CA it was checked against.
std::string TlsFailureText(const TlsFailureFacts& facts, const std::string& host,
                           const std::string& caFile);

// The peer's alert in OpenSSL's words ("unknown CA", "protocol version").
std::string TlsAlertWords(int alert);

// Alerts with which a peer refuses the certificate it was shown.
bool IsCertificateAlert(int alert);
