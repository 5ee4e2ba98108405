#pragma once

#include <string>
#include <string_view>

namespace mqtt {

// libmosquitto's result codes, CONNACK codes and error log lines in the words the publisher's
// messages use: lower case where they stand inside a sentence, without a final full stop.

// A result code; err is errno as it was when the code was given (used for MOSQ_ERR_ERRNO).
std::string ResultWords(int rc, int err);
// The broker's answer to CONNECT, e.g. "not authorised".
std::string ConnackWords(int code);
// An error line libmosquitto logged, e.g. "OpenSSL Error[0]: error:0A000086:SSL
// routines::certificate verify failed" -> "certificate verify failed".
std::string LogLineWords(std::string_view line);

}  // namespace mqtt
