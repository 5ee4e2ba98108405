#include "tools/profile/CsvLine.h"

#include <algorithm>

namespace profile {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

char CsvSeparator(std::string_view header) {
    std::size_t commas = 0;
    std::size_t semicolons = 0;
    bool quoted = false;
    for (const char c : header) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            ++commas;
        } else if (!quoted && c == ';') {
            ++semicolons;
        }
    }
    return semicolons > commas ? ';' : ',';
}

bool SplitCsvLine(std::string_view line, char separator, std::vector<std::string>& fields,
                  std::string& why) {
    fields.clear();
    std::size_t at = 0;
    while (true) {
        while (at < line.size() && IsBlank(line[at])) {
            ++at;
        }
        std::string field;
        if (at < line.size() && line[at] == '"') {
            ++at;
            while (true) {
                if (at >= line.size()) {
                    why = "unterminated quote in field " + std::to_string(fields.size() + 1);
                    return false;
                }
                if (line[at] == '"' && at + 1 < line.size() && line[at + 1] == '"') {
                    field += '"';
                    at += 2;
                } else if (line[at] == '"') {
                    ++at;
                    break;
                } else {
                    field += line[at++];
                }
            }
            while (at < line.size() && IsBlank(line[at])) {
                ++at;
            }
            if (at < line.size() && line[at] != separator) {
                why = "text after the closing quote of field " + std::to_string(fields.size() + 1);
                return false;
            }
        } else {
            const std::size_t end = std::min(line.find(separator, at), line.size());
            field = Trimmed(line.substr(at, end - at));
            at = end;
        }
        fields.push_back(std::move(field));
        if (at >= line.size()) {
            return true;
        }
        ++at;  // the separator
    }
}

}  // namespace profile
