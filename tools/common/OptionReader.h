#pragma once

#include <getopt.h>

#include <string>
#include <string_view>
#include <vector>

namespace poll {

// getopt_long over a copy of a program's arguments, with the refusals worded alike in each
// program: "bad value for --count: 'x' (…)", "-c needs a value", "unknown option --foo".
class COptionReader {
public:
    // longOptions ends with a zero entry, as getopt_long wants it.
    COptionReader(const char* program, const std::vector<std::string>& args,
                  const char* shortOptions, const option* longOptions);

    // The next option's code, or -1 after the last; ':' and '?' as getopt_long gives them.
    int Next();
    // The current option's value, empty when it takes none.
    std::string_view Value() const { return m_value; }
    bool HasValue() const { return m_hasValue; }

    // The refusal for ':', '?' or a code no case took.
    std::string Problem(int code) const;
    std::string Bad(int code, const std::string& expected) const;
    // "--count" for a code with a long name, else "-c".
    std::string OptionName(int code) const;

    // The word after the current option, if there is one, for an option whose value may be
    // left out; Take() consumes it.
    const char* Following() const;
    void Take() { ++optind; }

    // What is left once the options are read: the operands, in order.
    std::vector<std::string> Operands() const;

private:
    std::vector<std::string> m_storage;
    std::vector<char*> m_argv;
    const char* m_shortOptions;
    const option* m_longOptions;
    std::string_view m_value;
    bool m_hasValue = false;
};

}  // namespace poll
