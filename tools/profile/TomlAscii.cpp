#include "tools/profile/TomlAscii.h"

namespace profile {

namespace {

enum class Lexeme { Plain, Comment, Basic, Literal, MultiBasic, MultiLiteral };

bool Triple(std::string_view text, std::size_t at, char quote) {
    return text.substr(at, 3) == std::string_view(quote == '"' ? "\"\"\"" : "'''");
}

}  // namespace

std::optional<int> NonAsciiOutsideStrings(std::string_view text) {
    Lexeme lexeme = Lexeme::Plain;
    int line = 1;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '\n') {
            ++line;
            // A one-line string or a comment ends with its line, closed or not.
            if (lexeme != Lexeme::MultiBasic && lexeme != Lexeme::MultiLiteral) {
                lexeme = Lexeme::Plain;
            }
            continue;
        }
        switch (lexeme) {
            case Lexeme::Plain:
                if (static_cast<unsigned char>(c) >= 0x80) {
                    return line;
                }
                if (c == '#') {
                    lexeme = Lexeme::Comment;
                } else if (c == '"' || c == '\'') {
                    const bool multi = Triple(text, at, c);
                    lexeme = c == '"' ? (multi ? Lexeme::MultiBasic : Lexeme::Basic)
                                      : (multi ? Lexeme::MultiLiteral : Lexeme::Literal);
                    at += multi ? 2 : 0;
                }
                break;
            case Lexeme::Comment:
                break;
            case Lexeme::Basic:
            case Lexeme::MultiBasic:
                if (c == '\\' && at + 1 < text.size() && text[at + 1] != '\n') {
                    ++at;  // an escaped quote or backslash; an escaped newline counts above
                } else if (lexeme == Lexeme::Basic && c == '"') {
                    lexeme = Lexeme::Plain;
                } else if (lexeme == Lexeme::MultiBasic && Triple(text, at, '"')) {
                    // Up to two quotes more are the string's own: """a""""" holds a"".
                    at += 2;
                    while (at + 1 < text.size() && text[at + 1] == '"') {
                        ++at;
                    }
                    lexeme = Lexeme::Plain;
                }
                break;
            case Lexeme::Literal:
            case Lexeme::MultiLiteral:
                if (lexeme == Lexeme::Literal && c == '\'') {
                    lexeme = Lexeme::Plain;
                } else if (lexeme == Lexeme::MultiLiteral && Triple(text, at, '\'')) {
                    at += 2;
                    while (at + 1 < text.size() && text[at + 1] == '\'') {
                        ++at;
                    }
                    lexeme = Lexeme::Plain;
                }
                break;
        }
    }
    return std::nullopt;
}

}  // namespace profile
