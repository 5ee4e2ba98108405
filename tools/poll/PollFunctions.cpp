#include "tools/poll/PollFunctions.h"

#include <cstdio>
#include <string>

#include "protocol/ExceptionCode.h"
#include "protocol/FunctionCode.h"
#include "protocol/functions/FieldReading.h"

namespace poll {
namespace {

using protocol::Hex16;

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char piece[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(piece, sizeof piece, "%02X", bytes[i]);
        text += (text.empty() ? "" : " ") + std::string(piece);
    }
    return text;
}

// The eight outputs, output 1 first as the device numbers them.
std::string Outputs(std::uint8_t status) {
    std::string bits;
    for (int output = 0; output < 8; ++output) {
        bits += (status >> output & 1) != 0 ? '1' : '0';
    }
    return bits;
}

std::uint16_t ExceptionStatus(CModbus& master, std::uint8_t slave, PollRecord& r) {
    std::uint8_t status = 0;
    const std::uint16_t code = master.ReadExceptionStatus(slave, status);
    if (code == kModbusOk) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", status);
        r.fields = {{"status", hex}, {"outputs 1-8", Outputs(status)}};
    }
    return code;
}

std::uint16_t Diagnostics(CModbus& master, const PollOptions& o, std::uint8_t slave,
                          PollRecord& r) {
    WordArray answer;
    const std::uint16_t code = master.Diagnostics(slave, o.subFunction, o.write, answer);
    r.fields = {{"sub-function", std::to_string(o.subFunction)}};
    if (code == kModbusOk) {
        r.values = answer;
        r.valuesAtAddresses = false;
    }
    return code;
}

std::uint16_t EventCounter(CModbus& master, std::uint8_t slave, PollRecord& r) {
    std::uint16_t status = 0;
    std::uint16_t events = 0;
    const std::uint16_t code = master.GetCommEventCounter(slave, status, events);
    if (code == kModbusOk) {
        r.fields = {{"status", Hex16(status)}, {"events", std::to_string(events)}};
    }
    return code;
}

std::uint16_t EventLog(CModbus& master, std::uint8_t slave, PollRecord& r) {
    protocol::CommEventLog log;
    const std::uint16_t code = master.GetCommEventLog(slave, log);
    if (code == kModbusOk) {
        r.fields = {{"status", Hex16(log.status)},
                    {"events", std::to_string(log.eventCount)},
                    {"messages", std::to_string(log.messageCount)},
                    {"log", HexBytes(log.events.data(), log.events.size())}};
    }
    return code;
}

std::uint16_t ReadFile(CModbus& master, const PollOptions& o, std::uint8_t slave, PollRecord& r) {
    std::vector<WordArray> records;
    const std::uint16_t code =
        master.ReadFileRecord(slave, {{o.file, o.address, o.count}}, records);
    r.fields = {{"file", std::to_string(o.file)}};
    if (code == kModbusOk) {
        r.values = records.front();
    }
    return code;
}

std::uint16_t WriteFile(CModbus& master, const PollOptions& o, std::uint8_t slave, PollRecord& r) {
    const std::uint16_t code = master.WriteFileRecord(slave, {{o.file, o.address, o.write}});
    r.fields = {{"file", std::to_string(o.file)}};
    if (code == kModbusOk) {
        r.values = o.write;
    }
    return code;
}

std::uint16_t MaskWrite(CModbus& master, const PollOptions& o, std::uint8_t slave, PollRecord& r) {
    r.fields = {{"and", Hex16(o.andMask)}, {"or", Hex16(o.orMask)}};
    return master.MaskWriteRegister(slave, o.address, o.andMask, o.orMask);
}

std::uint16_t ReadWrite(CModbus& master, const PollOptions& o, std::uint8_t slave, PollRecord& r) {
    WordArray read;
    const std::uint16_t code =
        master.ReadWriteMultipleRegisters(slave, o.address, o.count, o.writeAddress, o.write, read);
    r.fields = {
        {"written", std::to_string(o.write.size()) + " at " + std::to_string(o.writeAddress)}};
    if (code == kModbusOk) {
        r.values = read;
    }
    return code;
}

std::uint16_t Fifo(CModbus& master, const PollOptions& o, std::uint8_t slave, PollRecord& r) {
    WordArray queue;
    const std::uint16_t code = master.ReadFifoQueue(slave, o.address, queue);
    if (code == kModbusOk) {
        r.fields = {{"count", std::to_string(queue.size())}};
        r.values = queue;
        r.valuesAtAddresses = false;
    }
    return code;
}

std::uint16_t Raw(CModbus& master, const PollOptions& o, std::uint8_t slave, PollRecord& r) {
    ByteArray answer;
    const std::uint16_t code = master.SendPdu(slave, o.raw, answer);
    r.fields = {{"request", HexBytes(o.raw.data(), o.raw.size())}};
    if (code == kModbusOk) {
        r.fields.emplace_back("answer", HexBytes(answer.data(), answer.size()));
    } else if ((code & kModbusException) != 0) {
        const std::uint16_t exception = code - kModbusException;
        const std::uint8_t pdu[] = {static_cast<std::uint8_t>(o.raw[0] | protocol::kExceptionFlag),
                                    static_cast<std::uint8_t>(exception)};
        r.fields.emplace_back("answer", HexBytes(pdu, sizeof pdu));
        r.fields.emplace_back("exception", std::to_string(exception) + " (" +
                                               protocol::ExceptionName(exception) + ")");
    }
    return code;
}

}  // namespace

std::uint16_t AskOtherFunction(CModbus& master, const PollOptions& o, std::uint8_t slave,
                               PollRecord& r) {
    if (!o.raw.empty()) {
        return Raw(master, o, slave, r);
    }
    switch (o.function) {
        case protocol::kReadExceptionStatus:
            return ExceptionStatus(master, slave, r);
        case protocol::kDiagnostics:
            return Diagnostics(master, o, slave, r);
        case protocol::kGetCommEventCounter:
            return EventCounter(master, slave, r);
        case protocol::kGetCommEventLog:
            return EventLog(master, slave, r);
        case protocol::kReadFileRecord:
            return ReadFile(master, o, slave, r);
        case protocol::kWriteFileRecord:
            return WriteFile(master, o, slave, r);
        case protocol::kMaskWriteRegister:
            return MaskWrite(master, o, slave, r);
        case protocol::kReadWriteMultipleRegisters:
            return ReadWrite(master, o, slave, r);
        case protocol::kReadFifoQueue:
        default:
            return Fifo(master, o, slave, r);
    }
}

}  // namespace poll
