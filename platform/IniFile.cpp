#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <utility>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
// A settings file is a few hundred bytes; anything this large is not one to rewrite.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
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
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// "%XX" is a Latin-1 character and "%UXXXX" any other, as QSettings writes them.
std::string UnescapeName(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            AppendUtf8(out, static_cast<unsigned>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2])));
            i += 2;
        } else if (s[i] == '%' && i + 5 < s.size() && s[i + 1] == 'U' && HexDigit(s[i + 2]) >= 0 &&
                   HexDigit(s[i + 3]) >= 0 && HexDigit(s[i + 4]) >= 0 && HexDigit(s[i + 5]) >= 0) {
            unsigned cp = 0;
            for (int k = 2; k <= 5; ++k)
                cp = cp * 16 + static_cast<unsigned>(HexDigit(s[i + k]));
            AppendUtf8(out, cp);
            i += 5;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string FoldName(std::string_view s) {
    return Fold(UnescapeName(Trim(s)));
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

std::string EscapeName(std::string_view s) {
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

std::string UnquoteValue(std::string_view raw) {
    const std::string_view v = Trim(raw);
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

std::string QuoteValue(std::string_view v) {
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

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool MakeFolders(const std::string& folder) {
    if (folder.empty())
        return true;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
        return false;
    return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST;
}

// The file a save replaces: the target of a symbolic link, so that the link stays.
std::string ResolvedPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return path;
    std::string out(real);
    std::free(real);
    return out;
}

}  // namespace

CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}

bool CIniFile::Load() {
    m_bom.clear();
    m_lines.clear();
    m_bUnreadable = false;
    m_nError = 0;
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        m_nError = errno;
        m_bUnreadable = true;
        return false;
    }
    std::string bytes;
    struct stat st {};
    const int statError = ::fstat(fd, &st) != 0 ? errno : 0;
    if (statError != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        m_nError = statError != 0         ? statError
                   : S_ISDIR(st.st_mode)  ? EISDIR
                   : !S_ISREG(st.st_mode) ? EINVAL
                                          : EFBIG;
        m_bUnreadable = true;
        ::close(fd);
        return false;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_nError = errno;
            m_bUnreadable = true;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<off_t>(bytes.size()) > kMaxFileSize) {
            m_nError = EFBIG;
            m_bUnreadable = true;
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    Parse(bytes);
    return true;
}

void CIniFile::Parse(std::string_view bytes) {
    if (bytes.substr(0, kBom.size()) == kBom) {
        m_bom = kBom;
        bytes.remove_prefix(kBom.size());
    }
    std::string section;
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        std::string_view text = bytes.substr(0, nl);
        std::string_view ending;
        if (nl == std::string_view::npos) {
            bytes = {};
        } else {
            bytes.remove_prefix(nl + 1);
            ending = "\n";
            if (!text.empty() && text.back() == '\r') {
                text.remove_suffix(1);
                ending = "\r\n";
            }
        }
        Line line;
        line.text.assign(text);
        line.ending.assign(ending);
        const std::string_view trimmed = Trim(text);
        const std::size_t eq = text.find('=');
        if (!trimmed.empty() && trimmed.front() == '[') {
            // An unclosed "[name" still names the section its writer meant.
            std::string_view name = trimmed.substr(1);
            name = name.substr(0, name.find(']'));
            line.kind = Kind::Section;
            line.folded = FoldName(name);
            section = line.folded;
        } else if (!trimmed.empty() && trimmed.front() != '#' && trimmed.front() != ';' &&
                   eq != std::string_view::npos && !Trim(text.substr(0, eq)).empty()) {
            line.kind = Kind::Entry;
            line.folded = FoldName(text.substr(0, eq));
            line.foldedSection = section;
            line.valueStart = eq + 1;
            while (line.valueStart < text.size() && IsBlank(text[line.valueStart]))
                ++line.valueStart;
        }
        m_lines.push_back(std::move(line));
    }
}

// The last entry wins, as a later assignment overrides an earlier one.
std::ptrdiff_t CIniFile::FindEntry(const std::string& section, const std::string& key) const {
    for (std::size_t i = m_lines.size(); i-- > 0;) {
        const Line& l = m_lines[i];
        if (l.kind == Kind::Entry && l.folded == key && l.foldedSection == section)
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

std::optional<std::string> CIniFile::GetValue(std::string_view section,
                                              std::string_view key) const {
    const std::ptrdiff_t i = FindEntry(Fold(section), Fold(key));
    if (i < 0)
        return std::nullopt;
    const Line& l = m_lines[static_cast<std::size_t>(i)];
    return UnquoteValue(std::string_view(l.text).substr(l.valueStart));
}

void CIniFile::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string foldedSection = Fold(section);
    const std::string foldedKey = Fold(key);
    if (const std::ptrdiff_t i = FindEntry(foldedSection, foldedKey); i >= 0) {
        Line& l = m_lines[static_cast<std::size_t>(i)];
        l.text = l.text.substr(0, l.valueStart) + QuoteValue(value);
        return;
    }
    const std::string entry = EscapeName(key) + "=" + QuoteValue(value);
    std::ptrdiff_t header = -1;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Section && m_lines[i].folded == foldedSection)
            header = static_cast<std::ptrdiff_t>(i);
    }
    if (header >= 0) {
        std::size_t after = static_cast<std::size_t>(header);
        for (std::size_t i = after + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section;
             ++i) {
            if (m_lines[i].kind == Kind::Entry)
                after = i;
        }
        InsertLine(after + 1, entry);
        m_lines[after + 1].kind = Kind::Entry;
        m_lines[after + 1].folded = foldedKey;
        m_lines[after + 1].foldedSection = foldedSection;
        m_lines[after + 1].valueStart = entry.find('=') + 1;
        return;
    }
    if (!m_lines.empty() && !Trim(m_lines.back().text).empty())
        InsertLine(m_lines.size(), std::string());
    std::string title(1, '[');
    title += EscapeName(section);
    title += ']';
    InsertLine(m_lines.size(), std::move(title));
    m_lines.back().kind = Kind::Section;
    m_lines.back().folded = foldedSection;
    SetValue(section, key, value);
}

void CIniFile::InsertLine(std::size_t at, std::string text) {
    const std::string ending = DefaultEnding();
    if (at > 0 && m_lines[at - 1].ending.empty())
        m_lines[at - 1].ending = ending;
    Line line;
    line.text = std::move(text);
    line.ending = ending;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
}

std::string CIniFile::DefaultEnding() const {
    for (const Line& l : m_lines) {
        if (!l.ending.empty())
            return l.ending;
    }
    return "\n";
}

std::string CIniFile::Text() const {
    std::string out = m_bom;
    for (const Line& l : m_lines)
        out += l.text + l.ending;
    return out;
}

bool CIniFile::Save() {
    if (m_bUnreadable)
        return false;  // keeps the reason Load gave
    m_nError = 0;
    const std::string target = ResolvedPath(m_path);
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash);
    auto fail = [this](int error) {
        m_nError = error != 0 ? error : EIO;
        return false;
    };
    if (target.empty())
        return fail(ENOENT);
    if (!MakeFolders(folder))
        return fail(errno);
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    // The rename would replace a file its owner made read-only; honour that.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return fail(errno);

    std::string temp;
    int fd = -1;
    std::random_device random;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        const std::string name = (folder.empty() ? std::string() : folder + "/") + "." +
                                 target.substr(slash + 1) + ".tmp-" + std::to_string(::getpid()) +
                                 "-" + std::to_string(random());
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            temp = name;
        else if (errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);
    auto discard = [&](int error) {
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(error);
    };
    if (exists) {
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            return discard(errno);
        // Only root can give the file back to another owner; for anyone else it is theirs.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            (void)::fchown(fd, st.st_uid, st.st_gid);
    }
    if (!WriteAll(fd, Text()) || ::fsync(fd) != 0)
        return discard(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return fail(error);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return fail(error);
    }
    // The rename itself reaches the disk with the folder.
    const int dirFd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
