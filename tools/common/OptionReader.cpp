#include "tools/common/OptionReader.h"

#include <string_view>

namespace poll {

COptionReader::COptionReader(const char* program, const std::vector<std::string>& args,
                             const char* shortOptions, const option* longOptions)
    : m_shortOptions(shortOptions), m_longOptions(longOptions) {
    m_storage.reserve(args.size() + 1);
    m_storage.emplace_back(program);
    m_storage.insert(m_storage.end(), args.begin(), args.end());
    for (std::string& arg : m_storage) {
        m_argv.push_back(arg.data());
    }
    m_argv.push_back(nullptr);
    opterr = 0;
    optind = 0;  // glibc: start afresh, also after an earlier parse
}

int COptionReader::Next() {
    const int code = getopt_long(static_cast<int>(m_storage.size()), m_argv.data(), m_shortOptions,
                                 m_longOptions, nullptr);
    m_hasValue = optarg != nullptr;
    m_value = m_hasValue ? optarg : "";
    return code;
}

std::string COptionReader::OptionName(int code) const {
    for (const option* o = m_longOptions; o->name != nullptr; ++o) {
        if (o->val == code) {
            return std::string("--") + o->name;
        }
    }
    return std::string("-") + static_cast<char>(code);
}

namespace {

// A value as an error echoes it: a long one is cut, so that a refusal stays one short line.
constexpr std::size_t kLongestEcho = 64;

std::string Echo(std::string_view value) {
    if (value.size() <= kLongestEcho) {
        return std::string(value);
    }
    return std::string(value.substr(0, kLongestEcho)) + "... (" + std::to_string(value.size()) +
           " characters)";
}

}  // namespace

std::string COptionReader::Problem(int code) const {
    if (code == ':') {
        return OptionName(optopt) + " needs a value";
    }
    if (code == '?' && optopt != 0) {
        return std::string("unknown option -") + static_cast<char>(optopt);
    }
    return "unknown option " + Echo(m_argv[optind - 1]);
}

std::string COptionReader::Bad(int code, const std::string& expected) const {
    return "bad value for " + OptionName(code) + ": '" + Echo(m_value) + "' (" + expected + ")";
}

const char* COptionReader::Following() const {
    return optind < static_cast<int>(m_storage.size()) ? m_argv[optind] : nullptr;
}

std::vector<std::string> COptionReader::Operands() const {
    // getopt_long has moved the operands behind the options, in argv (not in the storage).
    std::vector<std::string> operands;
    for (int i = optind; i < static_cast<int>(m_storage.size()); ++i) {
        operands.emplace_back(m_argv[i]);
    }
    return operands;
}

}  // namespace poll
