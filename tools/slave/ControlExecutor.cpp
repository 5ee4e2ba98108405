#include "tools/slave/ControlExecutor.h"

#include "tools/slave/ProfileModel.h"

namespace slave {

namespace {

std::string Error(const std::string& reason) {
    return "error: " + reason;
}

std::string ForAnswers(const std::optional<long>& answers) {
    return answers ? " for " + std::to_string(*answers) + " answers" : " until cleared";
}

}  // namespace

std::string CControlExecutor::Execute(std::string_view line) {
    std::string why;
    const std::optional<ControlCommand> command = ParseControlCommand(line, why);
    const std::string answer = command ? Run(*command) : Error(why);
    // The command as parsed: a set's value is the only free text, and it is bounded there.
    m_log.Control(std::string(line.substr(0, kMaxPointName * 2)) + " -> " + answer);
    return answer;
}

std::string CControlExecutor::Run(const ControlCommand& command) {
    using Verb = ControlCommand::Verb;
    if (command.verb == Verb::Help) {
        return ControlHelpText();
    }
    if (command.verb == Verb::Reload) {
        if (!m_reload) {
            return Error("nothing to reload: the simulator was started without --config");
        }
        std::string error;
        std::optional<Units> fresh = m_reload(error);
        if (!fresh) {
            return Error(error + "; the running units are kept");
        }
        const std::size_t count = fresh->size();
        m_units.WithUnits([&fresh](Units& units, std::uint64_t) { units = std::move(*fresh); });
        return "ok reloaded, " + std::to_string(count) + " units";
    }
    std::string answer;
    m_units.WithUnits([&](Units& units, std::uint64_t elapsedMs) {
        if (command.verb == Verb::Units) {
            answer = "ok";
            for (const auto& unit : units) {
                for (const int id : unit->Device().Ids()) {
                    answer += (answer == "ok" ? " " : ", ") + std::to_string(id) + " " +
                              unit->Described();
                }
            }
            return;
        }
        for (const auto& unit : units) {
            if (unit->Device().Answers(command.unit)) {
                answer = OnUnit(command, *unit, elapsedMs);
                return;
            }
        }
        answer = Error("no unit " + std::to_string(command.unit));
    });
    return answer;
}

std::string CControlExecutor::OnUnit(const ControlCommand& command, CSlaveUnit& unit,
                                     std::uint64_t elapsedMs) {
    using Verb = ControlCommand::Verb;
    if (command.verb == Verb::Fault) {
        return SwitchFault(command, unit);
    }
    auto* model = dynamic_cast<CProfileModel*>(&unit.Model());
    if (command.verb == Verb::Clear) {
        unit.ClearSwitched();
        if (model != nullptr) {
            model->UnstickAll();
        }
        return "ok unit " + std::to_string(command.unit) + ": faults cleared";
    }
    if (model == nullptr) {
        return Error("unit " + std::to_string(command.unit) +
                     " has no named points: it serves the plain tables");
    }
    // What a master would read at this moment.
    model->SetElapsed(elapsedMs);
    switch (command.verb) {
        case Verb::Get:
            if (auto value = model->Get(command.name)) {
                return "ok " + *value;
            }
            return Error("unit " + std::to_string(command.unit) + " has no point '" + command.name +
                         "'");
        case Verb::Set:
            if (const std::string why = model->Set(command.name, command.value); !why.empty()) {
                return Error(why);
            }
            return "ok " + command.name + " = " + model->Get(command.name).value_or("");
        case Verb::Dump: {
            std::string answer = "ok";
            for (const std::string& point : model->Dump()) {
                answer += (answer == "ok" ? " " : "; ") + point;
            }
            return answer;
        }
        default:
            return Error("not a unit command");
    }
}

std::string CControlExecutor::SwitchFault(const ControlCommand& command, CSlaveUnit& unit) {
    const FaultSwitch& fault = command.fault;
    const std::string done = "ok unit " + std::to_string(command.unit) + ": ";
    SwitchedFault switched;
    switched.answers = command.answers;
    switch (fault.kind) {
        case FaultSwitch::Kind::Stuck: {
            auto* model = dynamic_cast<CProfileModel*>(&unit.Model());
            if (command.answers) {
                return Error("a stuck point stays stuck until 'clear'");
            }
            if (model == nullptr || !model->Stick(fault.point)) {
                return Error("unit " + std::to_string(command.unit) + " has no point '" +
                             fault.point + "'");
            }
            return done + fault.point + " stuck until cleared";
        }
        case FaultSwitch::Kind::Exception:
            unit.SwitchException(static_cast<std::uint8_t>(fault.function),
                                 static_cast<std::uint8_t>(fault.code), command.answers);
            return done + "function " + std::to_string(fault.function) + " answers exception " +
                   std::to_string(fault.code) + ForAnswers(command.answers);
        case FaultSwitch::Kind::Letters:
            switched.kind = SwitchedFault::Kind::Letters;
            switched.plan = CFaultPlan::Parse(fault.letters).value_or(CFaultPlan());
            break;
        case FaultSwitch::Kind::Delay:
            switched.kind = SwitchedFault::Kind::Delay;
            switched.delayMs = fault.delayMs;
            break;
        case FaultSwitch::Kind::Silent:
            switched.kind = SwitchedFault::Kind::Silent;
            break;
        case FaultSwitch::Kind::Corrupt:
            switched.kind = SwitchedFault::Kind::Corrupt;
            break;
        case FaultSwitch::Kind::WrongId:
            switched.kind = SwitchedFault::Kind::WrongId;
            break;
    }
    unit.Faults().Switch(std::move(switched));
    return done + "fault on" + ForAnswers(command.answers);
}

}  // namespace slave
