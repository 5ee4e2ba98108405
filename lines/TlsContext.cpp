#include "lines/TlsContext.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/FileReason.h"
#include "platform/RegularFile.h"

namespace {

// OpenSSL would ask for a key's password on the terminal, which a line opened by a scan thread
// or a script has not got; the callback says no and notes that a password was wanted.
int RefusePassword(char* /*buf*/, int /*size*/, int /*rwflag*/, void* asked) {
    if (asked != nullptr) {
        *static_cast<bool*>(asked) = true;
    }
    return 0;
}

// A certificate, key or CA file is a few kilobytes; a chain or a CA bundle some hundreds.
constexpr std::uint64_t kMaxTlsFileBytes = 1024 * 1024;

// OpenSSL's errors of the last failure, oldest first; the queue is left empty.
std::vector<unsigned long> TakeErrors() {
    std::vector<unsigned long> codes;
    for (unsigned long code = ERR_get_error(); code != 0; code = ERR_get_error()) {
        codes.push_back(code);
    }
    return codes;
}

bool Holds(const std::vector<unsigned long>& codes, int lib, int reason) {
    for (const unsigned long code : codes) {
        if (ERR_GET_LIB(code) == lib && ERR_GET_REASON(code) == reason) {
            return true;
        }
    }
    return false;
}

// OpenSSL's own short words for the first of them ("ee key too small"); they never show what
// it read.
std::string Words(const std::vector<unsigned long>& codes) {
    const char* words = codes.empty() ? nullptr : ERR_reason_error_string(codes.front());
    return words != nullptr ? words : "not in PEM form";
}

// The CA file's certificates into the context's store; 0 when there is none.
int LoadCa(SSL_CTX* ctx, const std::string& path) {
    BIO* bio = BIO_new_file(path.c_str(), "r");
    if (bio == nullptr) {
        return 0;
    }
    STACK_OF(X509_INFO)* infos = PEM_X509_INFO_read_bio(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    ERR_clear_error();
    int count = 0;
    X509_STORE* store = SSL_CTX_get_cert_store(ctx);
    for (int i = 0; infos != nullptr && i < sk_X509_INFO_num(infos); ++i) {
        X509* cert = sk_X509_INFO_value(infos, i)->x509;
        if (cert != nullptr && X509_STORE_add_cert(store, cert) == 1) {
            ++count;
        }
    }
    sk_X509_INFO_pop_free(infos, X509_INFO_free);
    ERR_clear_error();
    return count;
}

}  // namespace

CTlsContext::~CTlsContext() {
    SSL_CTX_free(m_ctx);
}

std::unique_ptr<CTlsContext> CTlsContext::Load(const TlsFiles& files, Role role, int& error,
                                               std::string& reason) {
    error = 0;
    reason.clear();
    const std::pair<const std::string*, const char*> named[] = {
        {&files.cert, "certificate"}, {&files.key, "key"}, {&files.ca, "CA"}};
    for (const auto& [path, what] : named) {
        // OpenSSL opens the files itself and would wait on a FIFO or read a device for ever.
        std::string problem;
        errno = 0;
        const int fd = OpenRegularFile(*path, kMaxTlsFileBytes, problem);
        if (fd < 0) {
            // A file that did not open says why in errno's words, as every open failure does.
            const bool opened = problem.rfind("cannot open", 0) != 0;
            error = opened ? EINVAL : errno;
            reason = "cannot read the " + std::string(what) + " file " + *path + ": " +
                     (opened ? problem : ErrnoText(error));
            return nullptr;
        }
        ::close(fd);
    }
    const bool server = role == Role::Server;
    ERR_clear_error();
    std::unique_ptr<CTlsContext> context(
        new CTlsContext(SSL_CTX_new(server ? TLS_server_method() : TLS_client_method())));
    SSL_CTX* ctx = context->m_ctx;
    const auto refuse = [&](std::string why) {
        error = EINVAL;
        reason = std::move(why);
        ERR_clear_error();
        return nullptr;
    };
    if (ctx == nullptr) {
        return refuse("TLS cannot start: " + Words(TakeErrors()));
    }
    // Older versions are not accepted, whatever the peer offers: a device that speaks nothing
    // newer is refused, never spoken to in the clear.
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // A peer that asks for renegotiation again and again could hold a line in handshakes.
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION);
    bool passwordAsked = false;
    SSL_CTX_set_default_passwd_cb(ctx, RefusePassword);
    SSL_CTX_set_default_passwd_cb_userdata(ctx, &passwordAsked);
    if (SSL_CTX_use_certificate_chain_file(ctx, files.cert.c_str()) != 1) {
        const std::vector<unsigned long> codes = TakeErrors();
        return Holds(codes, ERR_LIB_PEM, PEM_R_NO_START_LINE)
                   ? refuse("no certificate in " + files.cert)
                   : refuse("the certificate in " + files.cert +
                            " cannot be used: " + Words(codes));
    }
    if (SSL_CTX_use_PrivateKey_file(ctx, files.key.c_str(), SSL_FILETYPE_PEM) != 1) {
        const std::vector<unsigned long> codes = TakeErrors();
        if (passwordAsked) {
            return refuse("the key in " + files.key +
                          " is protected by a password, which a line cannot ask for");
        }
        if (Holds(codes, ERR_LIB_X509, X509_R_KEY_VALUES_MISMATCH) ||
            Holds(codes, ERR_LIB_X509, X509_R_KEY_TYPE_MISMATCH)) {
            return refuse("the key in " + files.key + " does not match the certificate in " +
                          files.cert);
        }
        return refuse("no private key in " + files.key);
    }
    if (SSL_CTX_check_private_key(ctx) != 1) {
        return refuse("the key in " + files.key + " does not match the certificate in " +
                      files.cert);
    }
    if (LoadCa(ctx, files.ca) == 0) {
        return refuse("no certificate in CA file " + files.ca);
    }
    if (server) {
        // The certificate request names the CA, so a client with several certificates offers
        // the one it signed.
        STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(files.ca.c_str());
        if (names != nullptr) {
            SSL_CTX_set_client_CA_list(ctx, names);
        }
    }
    // Both ends always show a certificate and both always check the other's.
    SSL_CTX_set_verify(
        ctx, server ? SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT : SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_passwd_cb_userdata(ctx, nullptr);
    ERR_clear_error();
    return context;
}

std::optional<std::string> KeyFileWarning(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || (st.st_mode & (S_IRGRP | S_IROTH)) == 0) {
        return std::nullopt;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "the private key file " + path + " is readable by " +
           ((st.st_mode & S_IROTH) != 0 ? "others" : "its group") + " (mode " + mode +
           "); chmod 600 " + path + " keeps it to its owner";
}
