#include "TestPki.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

constexpr const char* kKey = "-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes";
constexpr const char* kDeviceNames = "subjectAltName = IP:127.0.0.1, DNS:localhost";

std::string DeviceExtensions(const std::string& names) {
    return "basicConstraints = CA:FALSE\nextendedKeyUsage = serverAuth\n" + names + "\n";
}

std::string ClientExtensions(const std::string& role) {
    std::string text = "basicConstraints = CA:FALSE\nextendedKeyUsage = clientAuth\n";
    if (!role.empty()) {
        text += std::string(CTestPki::kRoleOid) + " = ASN1:UTF8String:" + role + "\n";
    }
    return text;
}

}  // namespace

CTestPki::CTestPki() {
    char pattern[] = "/tmp/vornak-pki-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        m_error = "no temporary folder";
        return;
    }
    m_dir = pattern;
    struct Device {
        const char* name;
        const char* ca;
        std::string names;
        int days;
    };
    const Device devices[] = {
        {"device", "ca", kDeviceNames, 30},
        // A negative count of days puts the end of validity before its start, in the past.
        {"device-expired", "ca", kDeviceNames, -1},
        {"device-other-name", "ca", "subjectAltName = DNS:elsewhere.example, IP:10.9.9.9", 30},
        {"device-other-ca", "other-ca", kDeviceNames, 30},
    };
    const std::pair<const char*, const char*> clients[] = {
        {"operator", "operator"}, {"engineer", "engineer"}, {"plain", ""}, {"stranger", ""}};
    bool ok = MakeCa("ca", "/O=Vornak Test/CN=Vornak Test CA") &&
              MakeCa("other-ca", "/O=Elsewhere/CN=Other CA");
    for (const Device& d : devices) {
        ok = ok && MakeCert(d.name, d.ca, "/O=Vornak Test/CN=" + std::string(d.name),
                            DeviceExtensions(d.names), d.days);
    }
    for (const auto& [name, role] : clients) {
        const std::string ca = std::string(name) == "stranger" ? "other-ca" : "ca";
        ok = ok && MakeCert(name, ca, "/O=Vornak Test/CN=" + std::string(name),
                            ClientExtensions(role), 30);
    }
    if (!ok && m_error.empty()) {
        m_error = "openssl refused";
    }
}

CTestPki::~CTestPki() {
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

bool CTestPki::Run(const std::string& command) const {
    const std::string line = "cd '" + m_dir + "' && " + command + " >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

bool CTestPki::MakeCa(const std::string& name, const std::string& subject) {
    if (!Run("openssl req -x509 " + std::string(kKey) + " -keyout " + name + ".key -out " + name +
             ".pem -subj '" + subject + "' -days 30")) {
        m_error = "openssl could not make the CA " + name;
        return false;
    }
    ::chmod(Key(name).c_str(), 0600);
    return true;
}

bool CTestPki::MakeCert(const std::string& name, const std::string& ca, const std::string& subject,
                        const std::string& extensions, int days) {
    std::ofstream(File(name + ".ext")) << extensions;
    if (!Run("openssl req " + std::string(kKey) + " -keyout " + name + ".key -out " + name +
             ".csr -subj '" + subject + "'") ||
        !Run("openssl x509 -req -in " + name + ".csr -CA " + ca + ".pem -CAkey " + ca +
             ".key -CAcreateserial -days " + std::to_string(days) + " -extfile " + name +
             ".ext -out " + name + ".pem")) {
        m_error = "openssl could not make the certificate " + name;
        return false;
    }
    ::chmod(Key(name).c_str(), 0600);
    return true;
}

std::string CTestPki::NotAfter(const std::string& name) const {
    const std::string command = "openssl x509 -noout -enddate -in '" + Cert(name) + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    char line[256] = {};
    if (!pipe || std::fgets(line, sizeof line, pipe.get()) == nullptr) {
        return {};
    }
    std::string text(line);
    const std::size_t eq = text.find('=');
    text = eq == std::string::npos ? text : text.substr(eq + 1);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}
