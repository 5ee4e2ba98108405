#include "tools/slave/RoleCheck.h"

#include <cstdio>

#include "tools/slave/RequestSpans.h"

namespace slave {

namespace {

// Past these a name in the log is cut: a certificate can hold far longer ones.
constexpr std::size_t kMaxRoleShown = 64;
constexpr std::size_t kMaxSubjectShown = 256;

std::string SpanText(const AddressSpan& span) {
    if (span.first == span.last) {
        return "address " + std::to_string(span.first);
    }
    return "addresses " + std::to_string(span.first) + "-" + std::to_string(span.last);
}

RoleVerdict Refuse(const ClientIdentity& client, const std::string& roleText,
                   protocol::PduView request, std::uint8_t exception, const AddressSpan* span) {
    RoleVerdict verdict;
    verdict.allowed = false;
    verdict.exception = exception;
    verdict.refusal = Printable(client.subject, kMaxSubjectShown) + " " + roleText + " function " +
                      std::to_string(request.empty() ? 0 : request[0]);
    if (span != nullptr) {
        verdict.refusal += " " + SpanText(*span);
    }
    verdict.refusal += " (exception " + std::to_string(exception) + ")";
    return verdict;
}

}  // namespace

RoleVerdict JudgeRequest(const CRoleTable* table, const ClientIdentity& client,
                         protocol::PduView request) {
    if (table == nullptr) {
        return {};
    }
    const std::vector<AddressSpan> spans = RequestSpans(request);
    const AddressSpan* first = spans.empty() ? nullptr : &spans.front();
    std::string roleText;
    const RoleRights* rights = nullptr;
    switch (client.claim) {
        case ClientIdentity::Claim::Named:
            rights = table->Find(client.role);
            roleText = "role " + Printable(client.role, kMaxRoleShown) +
                       (rights == nullptr ? ", which the roles table does not name" : "");
            break;
        case ClientIdentity::Claim::None:
            if (table->Default()) {
                rights = table->Find(*table->Default());
                roleText = "role " + Printable(*table->Default(), kMaxRoleShown) + " by default" +
                           (rights == nullptr ? ", which the roles table does not name" : "");
            } else {
                roleText = "no role";
            }
            break;
        case ClientIdentity::Claim::Unreadable:
            roleText = "an unreadable role";
            break;
    }
    if (rights == nullptr) {
        return Refuse(client, roleText, request, protocol::kIllegalFunction, first);
    }
    if (request.empty() || request[0] >= rights->functions.size() ||
        !rights->functions.test(request[0])) {
        return Refuse(client, roleText, request, rights->exception, first);
    }
    if (!rights->addresses.empty()) {
        for (const AddressSpan& span : spans) {
            if (!Covers(rights->addresses, span)) {
                return Refuse(client, roleText, request, rights->exception, &span);
            }
        }
    }
    return {};
}

std::string IdentityText(const ClientIdentity& client) {
    const std::string subject = Printable(client.subject, kMaxSubjectShown);
    switch (client.claim) {
        case ClientIdentity::Claim::Named:
            return subject + ", role " + Printable(client.role, kMaxRoleShown);
        case ClientIdentity::Claim::None:
            return subject + ", no role";
        case ClientIdentity::Claim::Unreadable:
            break;
    }
    return subject + ", an unreadable role";
}

std::string Printable(const std::string& text, std::size_t most) {
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < most; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (text.size() > most) {
        shown += "...";
    }
    return shown;
}

}  // namespace slave
