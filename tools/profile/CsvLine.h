#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace profile {

// The separator a header line uses: ';' when it has more of them than commas outside quotes,
// as spreadsheets in decimal-comma locales write, else ','.
char CsvSeparator(std::string_view header);

// The fields of one line. A field may be double-quoted, "" standing for a quote inside; the
// spaces around an unquoted field are dropped. False with the reason in `why` for an
// unterminated quote or text after a closing one.
bool SplitCsvLine(std::string_view line, char separator, std::vector<std::string>& fields,
                  std::string& why);

}  // namespace profile
