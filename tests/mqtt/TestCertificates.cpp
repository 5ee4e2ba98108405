#include "TestCertificates.h"

#include <fstream>

#include "ChildProcess.h"

namespace mqtt_test {

namespace {

constexpr auto kStepTimeout = std::chrono::seconds(30);

bool Run(const std::vector<std::string>& args, std::string& why) {
    const ChildRun run = RunChild(kOpensslPath, args, kStepTimeout);
    if (run.status != 0) {
        why = "openssl " + args.front() + " failed: " + run.output;
        return false;
    }
    return true;
}

// A key and a certificate for the names, signed by the CA.
bool MakeSigned(const std::string& dir, const std::string& name, const std::string& altNames,
                std::string& cert, std::string& key, std::string& why) {
    key = dir + "/" + name + ".key";
    cert = dir + "/" + name + ".crt";
    const std::string request = dir + "/" + name + ".csr";
    const std::string extensions = dir + "/" + name + ".ext";
    std::ofstream(extensions) << "subjectAltName=" << altNames << "\n";
    return Run({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                "-keyout", key, "-out", request, "-subj", "/CN=" + name},
               why) &&
           Run({"x509", "-req", "-in", request, "-CA", dir + "/ca.crt", "-CAkey", dir + "/ca.key",
                "-CAcreateserial", "-out", cert, "-days", "2", "-extfile", extensions},
               why);
}

}  // namespace

bool MakeTestCertificates(const std::string& dir, TestCertificates& out, std::string& why) {
    out.caFile = dir + "/ca.crt";
    return Run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", dir + "/ca.key", "-out", out.caFile, "-days", "2", "-subj",
                "/CN=Vornak test CA"},
               why) &&
           MakeSigned(dir, "localhost", "DNS:localhost,IP:127.0.0.1", out.goodCert, out.goodKey,
                      why) &&
           MakeSigned(dir, "elsewhere.invalid", "DNS:elsewhere.invalid", out.otherNameCert,
                      out.otherNameKey, why);
}

}  // namespace mqtt_test
