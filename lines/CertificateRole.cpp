#include "lines/CertificateRole.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>

CertificateRole ReadCertificateRole(X509* cert) {
    CertificateRole found;
    std::unique_ptr<ASN1_OBJECT, void (*)(ASN1_OBJECT*)> oid(OBJ_txt2obj(CertificateRole::kOid, 1),
                                                             ASN1_OBJECT_free);
    const int at = oid ? X509_get_ext_by_OBJ(cert, oid.get(), -1) : -1;
    if (at < 0) {
        return found;
    }
    found.claim = CertificateRole::Claim::Unreadable;
    if (X509_get_ext_by_OBJ(cert, oid.get(), at) >= 0) {
        return found;
    }
    const ASN1_OCTET_STRING* data = X509_EXTENSION_get_data(X509_get_ext(cert, at));
    const unsigned char* p = ASN1_STRING_get0_data(data);
    const long length = ASN1_STRING_length(data);
    const unsigned char* end = p + length;
    std::unique_ptr<ASN1_UTF8STRING, void (*)(ASN1_UTF8STRING*)> text(
        d2i_ASN1_UTF8STRING(nullptr, &p, length), ASN1_UTF8STRING_free);
    if (!text || p != end || ASN1_STRING_length(text.get()) == 0) {
        return found;
    }
    found.role.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text.get())),
                      static_cast<std::size_t>(ASN1_STRING_length(text.get())));
    found.claim = CertificateRole::Claim::Named;
    return found;
}

std::optional<CertificateRole> CertificateFileRole(const std::string& path) {
    std::unique_ptr<BIO, int (*)(BIO*)> file(BIO_new_file(path.c_str(), "r"), BIO_free);
    if (!file) {
        return std::nullopt;
    }
    std::unique_ptr<X509, void (*)(X509*)> cert(
        PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr), X509_free);
    if (!cert) {
        return std::nullopt;
    }
    return ReadCertificateRole(cert.get());
}
