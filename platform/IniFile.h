#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An INI file that people also edit by hand. Section and key names match without regard to
// letter case, with "%20"-style escapes read as the characters they stand for. A save rewrites
// only the lines whose values changed (plus new ones) and keeps every other byte: comments,
// blank lines, unknown keys and sections, malformed lines, the byte-order mark, line ends.
class CIniFile {
public:
    explicit CIniFile(std::string path);

    // A missing file is an empty profile. False when the file exists but cannot be read (no
    // permission, larger than 1 MB, not a regular file, a symbolic link to nothing); such a
    // file is never overwritten, so nothing in it can be lost.
    bool Load();
    // False after a Load that failed: the file's contents are unknown.
    bool Readable() const { return !m_bUnreadable; }

    std::optional<std::string> GetValue(std::string_view section, std::string_view key) const;
    // Changes the line that GetValue reads, keeping the name as written there; a new key goes
    // after the last entry of its section, a new section at the end, both in escaped form
    // ("[Main%20Env]", "Scan%20Time=1000") so that other readers of the file agree.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    // Replaces the file atomically (temporary file in the same folder, fsync, rename) with the
    // file's permissions. False when that fails; the file is then as it was before.
    bool Save();

    const std::string& Path() const { return m_path; }
    // errno of the last failed Load or Save, 0 after a success.
    int LastError() const { return m_nError; }
    // Why the last Load or Save failed, in words ("Permission denied (errno 13)", the size
    // limit, a read-only mode, a broken link); empty after a success.
    const std::string& ErrorText() const { return m_strError; }

    std::string Text() const;

private:
    enum class Kind { Other, Section, Entry };

    struct Line {
        std::string text;    // the bytes of the line, without its end
        std::string ending;  // "\n", "\r\n", or empty for a last line without one
        Kind kind = Kind::Other;
        std::string folded;          // section or key name, unescaped and in lower case
        std::string foldedSection;   // for an entry: its section's folded name
        std::size_t valueStart = 0;  // for an entry: where its value begins in text
    };

    bool Unreadable(int error, std::string why);
    static std::string TooLargeText();
    void Parse(std::string_view bytes);
    std::ptrdiff_t FindEntry(const std::string& section, const std::string& key) const;
    void InsertLine(std::size_t at, std::string text);
    std::string DefaultEnding() const;

    std::string m_path;
    std::string m_bom;
    std::vector<Line> m_lines;
    bool m_bUnreadable = false;
    int m_nError = 0;
    std::string m_strError;
};
