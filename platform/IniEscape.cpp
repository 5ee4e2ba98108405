#include "platform/IniEscape.h"

#include <optional>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The 16-bit unit of a "%UXXXX" escape at s[i], if there is one.
std::optional<unsigned> UnitEscape(std::string_view s, std::size_t i) {
    if (i + 5 >= s.size() || s[i] != '%' || s[i + 1] != 'U')
        return std::nullopt;
    unsigned unit = 0;
    for (std::size_t k = 2; k <= 5; ++k) {
        const int d = HexDigit(s[i + k]);
        if (d < 0)
            return std::nullopt;
        unit = unit * 16 + static_cast<unsigned>(d);
    }
    return unit;
}

// Next code point of UTF-8 text; a byte that starts no valid sequence stands for itself.
unsigned NextCodePoint(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (more == 0 || i + more >= s.size()) {
        ++i;
        return b;
    }
    unsigned cp = b & (0x3Fu >> more);
    for (std::size_t k = 1; k <= more; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (c & 0x3Fu);
    }
    i += more + 1;
    return cp;
}

}  // namespace

std::string_view TrimIniBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// "%XX" is a Latin-1 character and "%UXXXX" any other (two of them for one beyond 16 bits),
// as QSettings writes them.
std::string UnescapeIniName(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (const std::optional<unsigned> unit = UnitEscape(s, i)) {
            const std::optional<unsigned> low = UnitEscape(s, i + 6);
            if (*unit >= 0xD800 && *unit < 0xDC00 && low && *low >= 0xDC00 && *low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00));
                i += 11;
            } else {
                AppendUtf8(out, *unit);
                i += 5;
            }
        } else if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 &&
                   HexDigit(s[i + 2]) >= 0) {
            AppendUtf8(out, static_cast<unsigned>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2])));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string EscapeIniName(std::string_view s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned cp = NextCodePoint(s, i);
        if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
            cp == '_' || cp == '-' || cp == '.') {
            out += static_cast<char>(cp);
        } else if (cp <= 0xFF) {
            out += '%';
            out += kHex[cp >> 4];
            out += kHex[cp & 0xF];
        } else {
            // Beyond the 16-bit range as two UTF-16 halves, each "%UXXXX".
            const unsigned units[2] = {0xD800 + ((cp - 0x10000) >> 10), 0xDC00 + (cp & 0x3FF)};
            for (int u = cp > 0xFFFF ? 0 : 1; u < 2; ++u) {
                const unsigned unit = cp > 0xFFFF ? units[u] : cp;
                out += "%U";
                for (int shift = 12; shift >= 0; shift -= 4)
                    out += kHex[(unit >> shift) & 0xF];
            }
        }
    }
    return out;
}

std::string UnquoteIniValue(std::string_view raw) {
    const std::string_view v = TrimIniBlanks(raw);
    if (v.size() < 2 || v.front() != '"' || v.back() != '"')
        return std::string(v);
    std::string out;
    for (std::size_t i = 1; i + 1 < v.size(); ++i) {
        if (v[i] == '\\' && i + 2 < v.size()) {
            const char c = v[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            out += v[i];
        }
    }
    return out;
}

std::string QuoteIniValue(std::string_view v) {
    bool quote = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || v.front() == '@');
    for (char c : v) {
        if (c == '"' || c == '\\' || c == ';' || c == ',' || c == '=' ||
            static_cast<unsigned char>(c) < 0x20)
            quote = true;
    }
    if (!quote)
        return std::string(v);
    std::string out = "\"";
    for (char c : v) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out + "\"";
}
