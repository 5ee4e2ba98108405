#include "tools/common/OptionReader.h"

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

std::string COptionReader::Problem(int code) const {
    if (code == ':') {
        return OptionName(optopt) + " needs a value";
    }
    if (code == '?' && optopt != 0) {
        return std::string("unknown option -") + static_cast<char>(optopt);
    }
    return std::string("unknown option ") + m_argv[optind - 1];
}

std::string COptionReader::Bad(int code, const std::string& expected) const {
    return "bad value for " + OptionName(code) + ": '" + std::string(m_value) + "' (" + expected +
           ")";
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
