#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ExceptionCode.h"
#include "protocol/FunctionCode.h"

namespace slave {

// Addresses first to last, both included, in any of the four tables.
struct AddressSpan {
    std::uint16_t first = 0;
    std::uint16_t last = 0;

    bool operator==(const AddressSpan&) const = default;
};

// What the clients of one role may ask of a Modbus/TCP Security device.
struct RoleRights {
    std::string name;
    std::bitset<protocol::kExceptionFlag> functions;
    // Every address a request names must lie within these; empty: any address.
    std::vector<AddressSpan> addresses;
    std::uint8_t exception = protocol::kIllegalFunction;  // the answer to a refused request
};

// The [roles] of a simulator file: each role's rights, and the role of a client certificate
// that names none.
class CRoleTable {
public:
    // Adds a role; its spans are merged, so that neighbours count as one span.
    void Add(RoleRights rights);
    void SetDefault(std::string role) { m_default = std::move(role); }

    const RoleRights* Find(std::string_view name) const;
    const std::optional<std::string>& Default() const { return m_default; }
    bool Empty() const { return m_roles.empty(); }

private:
    std::vector<RoleRights> m_roles;
    std::optional<std::string> m_default;
};

// Sorted, overlapping and adjacent spans joined: a request within their union lies within one.
std::vector<AddressSpan> MergeSpans(std::vector<AddressSpan> spans);

// Whether [span.first, span.last] lies within one of the merged spans.
bool Covers(const std::vector<AddressSpan>& merged, const AddressSpan& span);

}  // namespace slave
