#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileReason.h"
#include "platform/IniEscape.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
// A settings file is a few hundred bytes; anything this large is not one to read or rewrite.
constexpr off_t kMaxFileSize = 1024 * 1024;

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string FoldName(std::string_view s) {
    return Fold(UnescapeIniName(TrimIniBlanks(s)));
}

}  // namespace

CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}

bool CIniFile::Load() {
    m_bom.clear();
    m_lines.clear();
    m_bUnreadable = false;
    m_nError = 0;
    m_strError.clear();
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat link {};
        const bool isLink = ::lstat(m_path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
        // A link to nothing is a file its owner keeps elsewhere, out of reach for now.
        if ((error == ENOENT || error == ENOTDIR) && !isLink)
            return true;
        return Unreadable(error, isLink ? BrokenLinkText(m_path, error) : ErrnoText(error));
    }
    std::string bytes;
    struct stat st {};
    const int statError = ::fstat(fd, &st) != 0 ? errno : 0;
    if (statError != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        ::close(fd);
        if (statError != 0)
            return Unreadable(statError, ErrnoText(statError));
        if (S_ISDIR(st.st_mode))
            return Unreadable(EISDIR, ErrnoText(EISDIR));
        if (!S_ISREG(st.st_mode))
            return Unreadable(EINVAL, "not a regular file");
        return Unreadable(EFBIG, TooLargeText());
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return Unreadable(error, ErrnoText(error));
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<off_t>(bytes.size()) > kMaxFileSize) {
            ::close(fd);
            return Unreadable(EFBIG, TooLargeText());
        }
    }
    ::close(fd);
    Parse(bytes);
    return true;
}

bool CIniFile::Unreadable(int error, std::string why) {
    m_bUnreadable = true;
    m_nError = error;
    m_strError = std::move(why);
    return false;
}

std::string CIniFile::TooLargeText() {
    return "larger than 1 MB (" + std::to_string(kMaxFileSize) +
           " bytes), the most a settings file may hold";
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
        const std::string_view trimmed = TrimIniBlanks(text);
        const std::size_t eq = text.find('=');
        if (!trimmed.empty() && trimmed.front() == '[') {
            // An unclosed "[name" still names the section its writer meant.
            std::string_view name = trimmed.substr(1);
            name = name.substr(0, name.find(']'));
            line.kind = Kind::Section;
            line.folded = FoldName(name);
            section = line.folded;
        } else if (!trimmed.empty() && trimmed.front() != '#' && trimmed.front() != ';' &&
                   eq != std::string_view::npos && !TrimIniBlanks(text.substr(0, eq)).empty()) {
            line.kind = Kind::Entry;
            line.folded = FoldName(text.substr(0, eq));
            line.foldedSection = section;
            line.valueStart = eq + 1;
            while (line.valueStart < text.size() &&
                   (text[line.valueStart] == ' ' || text[line.valueStart] == '\t'))
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
    return UnquoteIniValue(std::string_view(l.text).substr(l.valueStart));
}

void CIniFile::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string foldedSection = Fold(section);
    const std::string foldedKey = Fold(key);
    if (const std::ptrdiff_t i = FindEntry(foldedSection, foldedKey); i >= 0) {
        Line& l = m_lines[static_cast<std::size_t>(i)];
        l.text = l.text.substr(0, l.valueStart) + QuoteIniValue(value);
        return;
    }
    const std::string entry = EscapeIniName(key) + "=" + QuoteIniValue(value);
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
    if (!m_lines.empty() && !TrimIniBlanks(m_lines.back().text).empty())
        InsertLine(m_lines.size(), std::string());
    std::string title(1, '[');
    title += EscapeIniName(section);
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
    m_nError = ReplaceFileAtomically(m_path, Text(), m_strError);
    if (m_nError != 0 && m_strError.empty())
        m_strError = ErrnoText(m_nError);
    return m_nError == 0;
}
