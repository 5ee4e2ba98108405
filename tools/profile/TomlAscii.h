#pragma once

#include <optional>
#include <string_view>

namespace profile {

// The line of the first byte past ASCII outside a TOML string or comment, where TOML allows
// none. toml++ 3.3 misclassifies some such characters ("é = 1") into undefined behaviour, so
// the text is screened before it parses.
std::optional<int> NonAsciiOutsideStrings(std::string_view text);

}  // namespace profile
