#include "tools/poll/PollRunner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "modbus/Modbus.h"
#include "modbus/RegisterLine.h"
#include "tools/common/FlushedOutput.h"
#include "tools/poll/ExchangeEnd.h"
#include "tools/poll/PollFunctions.h"

namespace poll {

namespace {

// Results that no repeat can mend: an answer came (an exception), or the line is gone.
bool WorthRetrying(std::uint16_t code) {
    return code != kModbusOk && (code & kModbusException) == 0 && code != kModbusPortNotOpen;
}

std::uint16_t Exchange(CModbus& master, const PollOptions& o, std::uint8_t slave,
                       std::uint8_t function, std::vector<std::uint16_t>& values) {
    switch (function) {
        case protocol::kWriteSingleCoil:
            return master.PresetSingleCoil(slave, o.address, o.write[0]);
        case protocol::kWriteSingleRegister:
            return master.PresetSingleRegister(slave, o.address, o.write[0]);
        case protocol::kWriteMultipleCoils:
            return master.ForceMultipleCoils(slave, o.address,
                                             ByteArray(o.write.begin(), o.write.end()));
        case protocol::kWriteMultipleRegisters:
            return master.PresetMultipleRegisters(slave, o.address, o.write);
        case protocol::kReadCoils:
        case protocol::kReadDiscreteInputs: {
            ByteArray states(o.count);
            const std::uint16_t code =
                function == protocol::kReadCoils
                    ? master.ReadCoils(slave, o.address, o.count, states)
                    : master.ReadDiscreteInputs(slave, o.address, o.count, states);
            values.assign(states.begin(), states.end());
            return code;
        }
        default:
            values.resize(o.count);
            return function == protocol::kReadHoldingRegisters
                       ? master.ReadHoldingRegisters(slave, o.address, o.count, values)
                       : master.ReadInputRegisters(slave, o.address, o.count, values);
    }
}

// What is asked of the slave now, before anything comes back.
PollRecord Request(const PollOptions& o, std::uint8_t slave) {
    PollRecord r;
    r.time = std::chrono::system_clock::now();
    r.slave = slave;
    r.function = RequestFunction(o);
    r.address = o.address;
    r.referenceBase = ReferenceBaseOf(o.function);
    r.type = o.type;
    r.order = o.order;
    r.nameSlave = o.slaves.size() > 1;
    return r;
}

}  // namespace

void CountExchange(PollSummary& summary, std::uint16_t code, const std::string& text,
                   double exchangeMs, bool timed) {
    ++summary.polls;
    if (code != kModbusOk) {
        ++summary.failed;
        summary.lastFailure = text;
        ++summary.failures[text.substr(0, text.find(':'))];
    }
    const bool answered = code == kModbusOk || (code & kModbusException) != 0;
    if (answered && timed) {
        summary.leastMs =
            summary.answered == 0 ? exchangeMs : std::min(summary.leastMs, exchangeMs);
        summary.greatestMs = std::max(summary.greatestMs, exchangeMs);
        summary.totalMs += exchangeMs;
        ++summary.answered;
    }
}

bool EveryInterval(const PollOptions& o, CStopRequest& stop, const std::function<bool()>& poll) {
    auto next = std::chrono::steady_clock::now();
    for (std::uint32_t i = 0; o.polls == 0 || i < o.polls; ++i) {
        if (i > 0) {
            next = std::max(next + std::chrono::milliseconds(o.intervalMs),
                            std::chrono::steady_clock::now());
            if (stop.WaitUntil(next)) {
                return true;
            }
        }
        if (stop.IsRequested()) {
            return true;
        }
        if (!poll()) {
            return false;
        }
    }
    return true;
}

PollRecord PollOnce(CModbus& master, const PollOptions& o, std::uint8_t slave, CStopRequest* stop) {
    PollRecord r = Request(o, slave);
    std::vector<std::uint16_t> values;
    const bool beyondTables = !o.raw.empty() || !IsTableFunction(o.function);
    for (std::uint32_t attempt = 0;; ++attempt) {
        const auto start = std::chrono::steady_clock::now();
        r.fields.clear();
        r.code = beyondTables ? AskOtherFunction(master, o, slave, r)
                              : Exchange(master, o, slave, r.function, values);
        r.exchangeMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const bool stopped = stop != nullptr && stop->IsRequested();
        if (attempt >= o.retries || !WorthRetrying(r.code) || stopped || slave == 0) {
            break;
        }
    }
    if (r.code == kModbusOk && !beyondTables) {
        r.values = o.write.empty() ? std::move(values) : o.write;
    }
    r.text = slave == 0 && r.code == kModbusOk ? "broadcast sent" : master.GetErrorText(r.code);
    if (slave == 0 && stop != nullptr) {
        // Nothing answers a broadcast: the slaves get the turnaround to act on it.
        stop->WaitUntil(std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(o.turnaroundMs));
    }
    return r;
}

PollSummary RunPolls(CModbus& master, const PollOptions& o, std::FILE* out, CStopRequest& stop,
                     const LineKeeper* keeper, const RecordsOut& publish) {
    PollSummary summary;
    summary.outputError = PrintFlushed(FormatHeader(o.format, o.type), out);
    if (summary.outputError != 0) {
        return summary;
    }
    EveryInterval(o, stop, [&] {
        std::string reason;
        const bool lineBack = keeper == nullptr || master.IsPortOpen() || keeper->open(reason);
        std::vector<PollRecord> shown;
        for (const std::uint8_t slave : o.slaves) {
            PollRecord record;
            if (lineBack) {
                record = PollOnce(master, o, slave, &stop);
            } else {
                record = Request(o, slave);
                record.code = kModbusPortNotOpen;
                record.text = master.GetErrorText(record.code) + ": " + reason;
            }
            if (record.code != kModbusOk && stop.IsRequested()) {
                return false;
            }
            summary.outputError = PrintFlushed(FormatRecord(o.format, record), out);
            summary.rounds += shown.empty() ? 1 : 0;  // counted once it shows
            CountExchange(summary, record.code, record.text, record.exchangeMs, record.slave != 0);
            shown.push_back(record);
            if (summary.outputError != 0) {
                return false;
            }
            if (keeper != nullptr && lineBack && LineLost(record.code)) {
                // The rest of this poll would only fail the same way; the next one reopens.
                keeper->drop();
                break;
            }
        }
        if (publish) {
            publish(shown);
        }
        return true;
    });
    return summary;
}

std::string FormatSummary(const PollSummary& s, const std::string& port) {
    std::string out = "--- " + port + " ---\n";
    out += std::to_string(s.rounds) + (s.rounds == 1 ? " poll, " : " polls, ") +
           std::to_string(s.polls) + (s.polls == 1 ? " request, " : " requests, ") +
           std::to_string(s.polls - s.failed) + " OK, " + std::to_string(s.failed) + " failed";
    const char* separator = " (";
    for (const auto& [text, count] : s.failures) {
        out += separator + std::to_string(count) + " " + text;
        separator = ", ";
    }
    out += s.failures.empty() ? "\n" : ")\n";
    if (s.answered == 0) {
        return out + "no answer to time\n";
    }
    char times[128];
    std::snprintf(times, sizeof times, "exchange min/mean/max = %.3f/%.3f/%.3f ms\n", s.leastMs,
                  s.totalMs / s.answered, s.greatestMs);
    return out + times;
}

}  // namespace poll
