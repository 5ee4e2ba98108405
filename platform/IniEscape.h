#pragma once

#include <string>
#include <string_view>

// Names and values of an INI file in the form QSettings writes them, so that files written by
// either side read the same.

// Without the blanks (space, tab, CR, FF, VT) around it.
std::string_view TrimIniBlanks(std::string_view s);
// "%XX" is a Latin-1 character and "%UXXXX" any other (two of them for one beyond 16 bits).
std::string UnescapeIniName(std::string_view s);
// Letters, digits, "_", "-" and "." stay; anything else is escaped: "Main%20Env".
std::string EscapeIniName(std::string_view s);
// A value in double quotes loses them and its backslash escapes; any other is only trimmed.
std::string UnquoteIniValue(std::string_view raw);
// Quotes a value that would not read back as itself without quotes.
std::string QuoteIniValue(std::string_view v);
