#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/Pdu.h"
#include "tools/slave/RoleTable.h"

namespace slave {

// Who a Modbus/TCP Security client is, as its certificate says.
struct ClientIdentity {
    enum class Claim { None, Named, Unreadable };

    std::string subject;  // RFC 2253, "CN=op1,O=Plant"
    Claim claim = Claim::None;
    std::string role;  // Claim::Named: the role extension's text
};

struct RoleVerdict {
    bool allowed = true;
    std::uint8_t exception = protocol::kNoException;
    // For the log: "CN=op1,O=Plant role operator function 6 address 10 (exception 1)".
    std::string refusal;
};

// Whether the client may send the request PDU. Without a table every client may do anything.
// With one, a certificate without the role gets the table's default role; no role, a role the
// table does not name, or one that cannot be read, may do nothing. A role's functions decide
// first, then its addresses, for a request that names any.
RoleVerdict JudgeRequest(const CRoleTable* table, const ClientIdentity& client,
                         protocol::PduView request);

// "CN=op1,O=Plant, role operator", "CN=op2,O=Plant, no role", as the log names a client.
std::string IdentityText(const ClientIdentity& client);

// A role or subject as the log can show it: printable ASCII (a subject's own escapes kept),
// anything else as \xNN, at most `most` characters of the text, then "...".
std::string Printable(const std::string& text, std::size_t most);

}  // namespace slave
