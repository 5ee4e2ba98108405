#include "tools/slave/RoleTable.h"

#include <algorithm>

namespace slave {

void CRoleTable::Add(RoleRights rights) {
    rights.addresses = MergeSpans(std::move(rights.addresses));
    m_roles.push_back(std::move(rights));
}

const RoleRights* CRoleTable::Find(std::string_view name) const {
    const auto it = std::find_if(m_roles.begin(), m_roles.end(),
                                 [name](const RoleRights& role) { return role.name == name; });
    return it == m_roles.end() ? nullptr : &*it;
}

std::vector<AddressSpan> MergeSpans(std::vector<AddressSpan> spans) {
    std::sort(spans.begin(), spans.end(),
              [](const AddressSpan& a, const AddressSpan& b) { return a.first < b.first; });
    std::vector<AddressSpan> merged;
    for (const AddressSpan& span : spans) {
        // In int: the last address 65535 plus one must not wrap to 0.
        if (!merged.empty() && static_cast<int>(span.first) <= merged.back().last + 1) {
            merged.back().last = std::max(merged.back().last, span.last);
        } else {
            merged.push_back(span);
        }
    }
    return merged;
}

bool Covers(const std::vector<AddressSpan>& merged, const AddressSpan& span) {
    return std::any_of(merged.begin(), merged.end(), [&span](const AddressSpan& allowed) {
        return allowed.first <= span.first && span.last <= allowed.last;
    });
}

}  // namespace slave
