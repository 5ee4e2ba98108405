#pragma once

#include <optional>
#include <string>

struct x509_st;

// The role a Modbus/TCP Security certificate carries for its holder: the text of the
// extension 1.3.6.1.4.1.50316.802.1, an ASN.1 UTF8String.
struct CertificateRole {
    static constexpr const char* kOid = "1.3.6.1.4.1.50316.802.1";

    // Unreadable: the extension is there more than once, is no single UTF8String, or is empty;
    // a role nobody can be given.
    enum class Claim { None, Named, Unreadable };
    Claim claim = Claim::None;
    std::string role;  // Named: the text
};

CertificateRole ReadCertificateRole(x509_st* cert);

// The role of the first certificate of a PEM file; nullopt when it holds none.
std::optional<CertificateRole> CertificateFileRole(const std::string& path);
