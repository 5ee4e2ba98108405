#include "tools/slave/ControlCommand.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <vector>

#include "protocol/ExceptionCode.h"
#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "tools/slave/FaultPlan.h"

namespace slave {

namespace {

// A function code with the exception flag set is an answer's, never a request's.
constexpr int kFirstFunction = protocol::kReadCoils;
constexpr int kLastFunction = protocol::kExceptionFlag - 1;
// An exception answer carries its code in one byte, and 0 means none.
constexpr int kFirstExceptionCode = protocol::kNoException + 1;
constexpr int kLastExceptionCode = std::numeric_limits<std::uint8_t>::max();
// How much of the user's line a reason quotes, so that an answer stays one short line.
constexpr std::size_t kMaxQuoted = 64;

struct Word {
    std::string_view text;
    std::size_t end = 0;  // just past the word in the line
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::vector<Word> SplitWords(std::string_view line) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) {
            ++i;
        }
        if (i > start) {
            words.push_back({line.substr(start, i - start), i});
        }
    }
    return words;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The answer goes back on a line of its own: what the user sent must not break it.
std::string Quote(std::string_view text) {
    std::string quoted;
    for (const char c : text.substr(0, kMaxQuoted)) {
        const auto byte = static_cast<unsigned char>(c);
        quoted.push_back(byte >= 0x20 && byte < 0x7F ? c : '?');
    }
    return "'" + quoted + "'";
}

// Plain decimal digits only: a sign or a blank is a typing error, not a value.
std::optional<long> Number(std::string_view text, long first, long last) {
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < first || value > last) {
        return std::nullopt;
    }
    return value;
}

std::string RangeText(const char* what, long first, long last) {
    return std::string(what) + " must be " + std::to_string(first) + " to " + std::to_string(last);
}

bool IsNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

bool IsPointName(std::string_view text) {
    if (text.empty() || text.size() > kMaxPointName) {
        return false;
    }
    for (const char c : text) {
        if (!IsNameCharacter(c)) {
            return false;
        }
    }
    return true;
}

std::string NameRule() {
    return "point name must be 1 to " + std::to_string(kMaxPointName) + " of A-Z a-z 0-9 _ . -";
}

bool ParseUnit(std::string_view text, ControlCommand& command, std::string& why) {
    const auto unit = Number(text, protocol::kFirstUnitAddress, protocol::kLastUnitAddress);
    if (!unit) {
        why = RangeText("unit", protocol::kFirstUnitAddress, protocol::kLastUnitAddress);
        return false;
    }
    command.unit = static_cast<int>(*unit);
    return true;
}

bool ParseName(std::string_view text, std::string& name, std::string& why) {
    if (!IsPointName(text)) {
        why = NameRule();
        return false;
    }
    name = std::string(text);
    return true;
}

// Takes the fault's words from words[next]; on success next is just past them.
bool ParseFault(const std::vector<Word>& words, std::size_t& next, FaultSwitch& fault,
                std::string& why) {
    using Kind = FaultSwitch::Kind;
    if (next >= words.size()) {
        why =
            "fault needs UNIT and one of: letters LETTERS, delay MS, silent, corrupt, wrong-id, "
            "stuck NAME, exception FUNCTION CODE";
        return false;
    }
    const std::string_view kind = words[next++].text;
    auto argument = [&]() -> std::string_view {
        return next < words.size() ? words[next++].text : std::string_view{};
    };
    if (kind == "silent") {
        fault.kind = Kind::Silent;
    } else if (kind == "corrupt") {
        fault.kind = Kind::Corrupt;
    } else if (kind == "wrong-id") {
        fault.kind = Kind::WrongId;
    } else if (kind == "letters") {
        fault.kind = Kind::Letters;
        const std::string_view letters = argument();
        if (letters.empty() || letters.size() > kMaxFaultLetters || !CFaultPlan::Parse(letters)) {
            why = "letters must be 1 to " + std::to_string(kMaxFaultLetters) +
                  " of . c s d w (none, bad check, silent, late, wrong id)";
            return false;
        }
        fault.letters = std::string(letters);
    } else if (kind == "delay") {
        fault.kind = Kind::Delay;
        const auto ms = Number(argument(), 0, kMaxControlDelayMs);
        if (!ms) {
            why = RangeText("delay", 0, kMaxControlDelayMs) + " ms";
            return false;
        }
        fault.delayMs = static_cast<int>(*ms);
    } else if (kind == "stuck") {
        fault.kind = Kind::Stuck;
        if (next >= words.size()) {
            why = "stuck needs NAME";
            return false;
        }
        if (!ParseName(argument(), fault.point, why)) {
            return false;
        }
    } else if (kind == "exception") {
        fault.kind = Kind::Exception;
        if (next + 2 > words.size()) {
            why = "exception needs FUNCTION CODE";
            return false;
        }
        const auto function = Number(argument(), kFirstFunction, kLastFunction);
        if (!function) {
            why = RangeText("function", kFirstFunction, kLastFunction);
            return false;
        }
        const auto code = Number(argument(), kFirstExceptionCode, kLastExceptionCode);
        if (!code) {
            why = RangeText("exception code", kFirstExceptionCode, kLastExceptionCode);
            return false;
        }
        fault.function = static_cast<int>(*function);
        fault.code = static_cast<int>(*code);
    } else {
        why = "unknown fault " + Quote(kind) +
              "; one of letters, delay, silent, corrupt, wrong-id, stuck, exception";
        return false;
    }
    return true;
}

bool ParseFaultCommand(const std::vector<Word>& words, ControlCommand& command, std::string& why) {
    if (words.size() < 2) {
        std::size_t none = words.size();
        return ParseFault(words, none, command.fault, why);
    }
    if (!ParseUnit(words[1].text, command, why)) {
        return false;
    }
    std::size_t next = 2;
    if (!ParseFault(words, next, command.fault, why)) {
        return false;
    }
    if (next == words.size()) {
        return true;
    }
    if (words[next].text != "for" || next + 2 != words.size()) {
        why = "after the fault only 'for N' may follow";
        return false;
    }
    const auto answers = Number(words[next + 1].text, 1, kMaxFaultAnswers);
    if (!answers) {
        why = RangeText("for", 1, kMaxFaultAnswers) + " answers";
        return false;
    }
    command.answers = *answers;
    return true;
}

}  // namespace

std::optional<ControlCommand> ParseControlCommand(std::string_view line, std::string& why) {
    using Verb = ControlCommand::Verb;
    const std::vector<Word> words = SplitWords(line);
    if (words.empty()) {
        why = "empty command; 'help' lists the commands";
        return std::nullopt;
    }
    const std::string_view verb = words[0].text;
    ControlCommand command;
    auto alone = [&](Verb which) -> std::optional<ControlCommand> {
        if (words.size() != 1) {
            why = std::string(verb) + " takes no arguments";
            return std::nullopt;
        }
        command.verb = which;
        return command;
    };
    // The verbs that take a unit and nothing else.
    auto unitOnly = [&](Verb which) -> std::optional<ControlCommand> {
        if (words.size() != 2) {
            why = std::string(verb) + " needs UNIT";
            return std::nullopt;
        }
        command.verb = which;
        if (!ParseUnit(words[1].text, command, why)) {
            return std::nullopt;
        }
        return command;
    };
    if (verb == "help") {
        return alone(Verb::Help);
    }
    if (verb == "units") {
        return alone(Verb::Units);
    }
    if (verb == "reload") {
        return alone(Verb::Reload);
    }
    if (verb == "dump") {
        return unitOnly(Verb::Dump);
    }
    if (verb == "clear") {
        return unitOnly(Verb::Clear);
    }
    if (verb == "get") {
        command.verb = Verb::Get;
        if (words.size() != 3) {
            why = "get needs UNIT NAME";
            return std::nullopt;
        }
        if (!ParseUnit(words[1].text, command, why) ||
            !ParseName(words[2].text, command.name, why)) {
            return std::nullopt;
        }
        return command;
    }
    if (verb == "set") {
        command.verb = Verb::Set;
        if (words.size() < 4) {
            why = "set needs UNIT NAME VALUE";
            return std::nullopt;
        }
        if (!ParseUnit(words[1].text, command, why) ||
            !ParseName(words[2].text, command.name, why)) {
            return std::nullopt;
        }
        command.value = std::string(Trim(line.substr(words[2].end)));
        return command;
    }
    if (verb == "fault") {
        command.verb = Verb::Fault;
        if (!ParseFaultCommand(words, command, why)) {
            return std::nullopt;
        }
        return command;
    }
    why = "unknown command " + Quote(verb) + "; 'help' lists the commands";
    return std::nullopt;
}

std::string ControlHelpText() {
    return "ok commands: help | units | get UNIT NAME | set UNIT NAME VALUE | dump UNIT | "
           "fault UNIT letters LETTERS|delay MS|silent|corrupt|wrong-id|stuck NAME|"
           "exception FUNCTION CODE [for N] | clear UNIT | reload";
}

}  // namespace slave
