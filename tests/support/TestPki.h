#pragma once

#include <string>

// A small PKI made with the openssl command in a temporary folder, removed with the object:
// a CA and another CA; device certificates for 127.0.0.1 and localhost (good, expired, for
// another name, from the other CA); client certificates with the role extension
// (1.3.6.1.4.1.50316.802.1, a UTF8String) of "operator" and "engineer", without it, and one
// from the other CA. All keys are P-256 and readable by their owner only.
class CTestPki {
public:
    static constexpr const char* kRoleOid = "1.3.6.1.4.1.50316.802.1";

    CTestPki();
    ~CTestPki();
    CTestPki(const CTestPki&) = delete;
    CTestPki& operator=(const CTestPki&) = delete;

    // False, with what failed in Error(), when the openssl command is missing or refused.
    bool Ok() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& Dir() const { return m_dir; }

    // NAME.pem and NAME.key in the folder: ca, other-ca, device, device-expired,
    // device-other-name, device-other-ca, operator, engineer, plain, stranger.
    std::string Cert(const std::string& name) const { return m_dir + "/" + name + ".pem"; }
    std::string Key(const std::string& name) const { return m_dir + "/" + name + ".key"; }
    // A file of the folder by its own name.
    std::string File(const std::string& name) const { return m_dir + "/" + name; }

    // The certificate's end of validity as OpenSSL prints it ("Dec  8 12:54:56 2026 GMT").
    std::string NotAfter(const std::string& name) const;
    // Runs a shell command in the folder; true when it exits 0.
    bool Run(const std::string& command) const;

private:
    bool MakeCa(const std::string& name, const std::string& subject);
    bool MakeCert(const std::string& name, const std::string& ca, const std::string& subject,
                  const std::string& extensions, int days);

    std::string m_dir;
    std::string m_error;
};
