#pragma once

#include <optional>
#include <string>

#include "lines/PortResolver.h"

// The value of `key` (e.g. "COM3") in the section "Port Map" of the settings file, read from
// the file anew at each call so that an edit takes effect at the next open. Trimmed; nullopt
// when missing or empty, or when the file cannot be read.
std::optional<std::string> ReadPortMapValue(const std::string& key);

// The Port Map's answer for COM<port>, the resolver the scanner and vornak-poll install: the
// device, nothing, or a refusal naming the file and why it cannot be read, since a map that
// cannot be read may map the number to anything.
PortAnswer PortMapAnswer(int port);
