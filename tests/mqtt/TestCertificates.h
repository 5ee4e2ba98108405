#pragma once

#include <string>

namespace mqtt_test {

inline constexpr const char* kOpensslPath = "/usr/bin/openssl";

// A CA and two broker certificates it signed, made with the openssl program in dir: one for
// localhost and 127.0.0.1, one for another name only.
struct TestCertificates {
    std::string caFile;
    std::string goodCert;
    std::string goodKey;
    std::string otherNameCert;
    std::string otherNameKey;
};

// false with openssl's output in why when a step failed.
bool MakeTestCertificates(const std::string& dir, TestCertificates& out, std::string& why);

}  // namespace mqtt_test
