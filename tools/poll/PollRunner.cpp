#include "tools/poll/PollRunner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "modbus/Modbus.h"
#include "modbus/RegisterLine.h"

namespace poll {

PollRecord PollOnce(CModbus& master, const PollOptions& o) {
    PollRecord r;
    r.time = std::chrono::system_clock::now();
    r.slave = o.slave;
    r.function = RequestFunction(o);
    r.address = o.address;
    r.referenceBase = ReferenceBaseOf(o.function);
    if (o.write) {
        r.code = r.function == kFuncWriteSingleCoil
                     ? master.PresetSingleCoil(o.slave, o.address, *o.write)
                     : master.PresetSingleRegister(o.slave, o.address, *o.write);
        if (r.code == kModbusOk) {
            r.values = {*o.write};
        }
    } else if (o.function <= kFuncReadDiscreteInputs) {
        ByteArray states(o.count);
        r.code = o.function == kFuncReadCoils
                     ? master.ReadCoils(o.slave, o.address, o.count, states)
                     : master.ReadDiscreteInputs(o.slave, o.address, o.count, states);
        if (r.code == kModbusOk) {
            r.values.assign(states.begin(), states.end());
        }
    } else {
        WordArray words(o.count);
        r.code = o.function == kFuncReadHoldingRegisters
                     ? master.ReadHoldingRegisters(o.slave, o.address, o.count, words)
                     : master.ReadInputRegisters(o.slave, o.address, o.count, words);
        if (r.code == kModbusOk) {
            r.values = std::move(words);
        }
    }
    r.text = master.GetErrorText(r.code);
    return r;
}

namespace {

// errno of a failed write or flush, 0 when the text is out.
int Print(const std::string& text, std::FILE* out) {
    errno = 0;
    if (std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}

}  // namespace

PollSummary RunPolls(CModbus& master, const PollOptions& o, std::FILE* out, CStopRequest& stop) {
    PollSummary summary;
    summary.outputError = Print(FormatHeader(o.format), out);
    if (summary.outputError != 0) {
        return summary;
    }
    auto next = std::chrono::steady_clock::now();
    for (std::uint32_t i = 0; o.polls == 0 || i < o.polls; ++i) {
        if (i > 0) {
            next = std::max(next + std::chrono::milliseconds(o.intervalMs),
                            std::chrono::steady_clock::now());
            if (stop.WaitUntil(next)) {
                break;
            }
        }
        if (stop.IsRequested()) {
            break;
        }
        const PollRecord record = PollOnce(master, o);
        if (record.code != kModbusOk && stop.IsRequested()) {
            break;
        }
        summary.outputError = Print(FormatRecord(o.format, record), out);
        ++summary.polls;
        if (record.code != kModbusOk) {
            ++summary.failed;
            summary.lastFailure = record.text;
        }
        if (summary.outputError != 0) {
            break;
        }
    }
    return summary;
}

}  // namespace poll
