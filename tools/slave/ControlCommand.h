#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace slave {

// The bounds of the control language, which knows nothing of the wire: a user's typing error
// must never reach a unit as an absurd value.
constexpr std::size_t kMaxPointName = 64;
constexpr std::size_t kMaxFaultLetters = 256;
constexpr int kMaxControlDelayMs = 60000;
constexpr long kMaxFaultAnswers = 1000000;

// One fault a control command switches on for a unit.
struct FaultSwitch {
    enum class Kind {
        Letters,
        Delay,
        Silent,
        Corrupt,
        WrongId,
        Stuck,
        Exception
    } kind = Kind::Silent;
    std::string letters;  // Letters: one of ".csdw" per answer, in turn
    int delayMs = 0;      // Delay
    std::string point;    // Stuck: the point that stops moving and ignores writes
    int function = 0;     // Exception: requests of this function ...
    int code = 0;         // ... get this exception code
};

// One line of the control socket, checked: every field the verb uses is in range.
struct ControlCommand {
    enum class Verb { Help, Units, Get, Set, Dump, Fault, Clear, Reload } verb = Verb::Help;
    int unit = 0;
    std::string name;   // Get, Set: the point
    std::string value;  // Set: the rest of the line after the name, trimmed
    FaultSwitch fault;  // Fault
    // Fault: only this many answers of the unit; nullopt until "clear".
    std::optional<long> answers;
};

// nullopt with a one-line reason in why, quoting at most 64 characters of the line.
std::optional<ControlCommand> ParseControlCommand(std::string_view line, std::string& why);

// The answer to "help": one line, "ok commands: " and every command with its words.
std::string ControlHelpText();

}  // namespace slave
