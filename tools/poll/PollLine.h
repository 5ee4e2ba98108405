#pragma once

#include <string>

#include "tools/poll/PollOptions.h"

class CLocalModbus;

namespace poll {

// Configures the master from the options and opens PORT: COMn through the port map as the
// scanner resolves it; a device path or URL as the mapping of COM1 for this process, ahead of
// any other. With --trace, VORNAK_TRACE names the file. On failure, `reason` says why in one
// line (the port, the device and the system's words).
bool OpenLine(CLocalModbus& master, const PollOptions& options, std::string& reason);

// What an open TLS line agreed, as --tls-info says it: protocol and cipher, the device's
// certificate subject and issuer, and the role this end's certificate presents.
std::string TlsInfoText(const CLocalModbus& master);

// False for an open line whose settings live elsewhere: Modbus TCP or UDP, a raw socket://.
bool LineHasSettings(const CLocalModbus& master);

}  // namespace poll
