#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace slave {

// The longest answer a client takes; a dump of a large unit fits many times over.
constexpr std::size_t kMaxControlAnswer = 1024 * 1024;

// Connects to the control socket at path, sends command and a LF, and reads one answer line
// (without its LF). Connecting, sending and reading each get timeout. False with a reason in
// error: "cannot connect to PATH: REASON", "no answer from PATH within 10 s", ...
bool SendControlCommand(const std::string& path, std::string_view command, std::string& answer,
                        std::string& error,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

}  // namespace slave
