#include "tools/poll/PollRecord.h"

#include <cstdio>

#include "modbus/RegisterLine.h"
#include "protocol/FunctionCode.h"
#include "tools/common/RecordText.h"

namespace poll {

namespace {

// Values as typed, each at its first register; bits and plain registers one each.
struct Shown {
    std::size_t offset;
    std::string text;
};

bool Typed(const PollRecord& r) {
    return r.type != ValueType::Uint16 && !r.values.empty() &&
           (r.function == protocol::kReadHoldingRegisters ||
            r.function == protocol::kReadInputRegisters ||
            r.function == protocol::kWriteSingleRegister ||
            r.function == protocol::kWriteMultipleRegisters ||
            r.function == protocol::kReadWriteMultipleRegisters);
}

// Values that are no registers at addresses, as one field.
std::vector<std::pair<std::string, std::string>> ShownFields(const PollRecord& r) {
    auto fields = r.fields;
    if (!r.valuesAtAddresses && !r.values.empty()) {
        std::string values;
        for (const std::uint16_t value : r.values) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04X", value);
            values += (values.empty() ? "" : " ") + std::string(hex);
        }
        fields.emplace_back("values", values);
    }
    return fields;
}

std::vector<Shown> ShownValues(const PollRecord& r) {
    std::vector<Shown> shown;
    if (!Typed(r)) {
        for (std::size_t i = 0; i < r.values.size(); ++i) {
            shown.push_back({i, std::to_string(r.values[i])});
        }
        return shown;
    }
    if (r.type == ValueType::String) {
        shown.push_back({0, DecodeValue(r.type, r.order, r.values.data(), r.values.size())});
        return shown;
    }
    const std::size_t step = RegistersPerValue(r.type);
    for (std::size_t i = 0; i + step <= r.values.size(); i += step) {
        shown.push_back({i, DecodeValue(r.type, r.order, r.values.data() + i, step)});
    }
    return shown;
}

std::string SlavePrefix(const PollRecord& r) {
    return r.nameSlave ? "[Slave " + std::to_string(r.slave) + "] " : std::string();
}

std::string Table(const PollRecord& r) {
    const std::string prefix = SlavePrefix(r);
    std::string out;
    for (const auto& [name, value] : ShownFields(r)) {
        out += prefix + name + " = " + value + '\n';
    }
    if (r.valuesAtAddresses && !Typed(r)) {
        for (std::size_t i = 0; i < r.values.size(); ++i) {
            out += prefix;
            out += FormatRegisterLine(r.address, static_cast<int>(i), r.referenceBase, r.values[i]);
            out += '\n';
        }
    } else if (r.valuesAtAddresses) {
        for (const Shown& v : ShownValues(r)) {
            char head[64];
            const long address = static_cast<long>(r.address + v.offset);
            std::snprintf(head, sizeof head, "[Address : 0x%04lx / %ld ] ", address,
                          address + r.referenceBase);
            out += prefix + head + TypeName(r.type) + " = " + v.text + '\n';
        }
    }
    return out + prefix + r.text + '\n';
}

std::string Csv(const PollRecord& r) {
    const std::string head =
        IsoTime(r.time) + ',' + std::to_string(r.slave) + ',' + std::to_string(r.function) + ',';
    const std::string type =
        r.type != ValueType::Uint16 ? std::string(TypeName(r.type)) + ',' : std::string();
    const std::string tail = ',' + CsvField(r.text) + '\n';
    std::string out;
    // A field is a row of its own, its value as name=value.
    for (const auto& [name, value] : ShownFields(r)) {
        out += head + std::to_string(r.address) + ',' + type + CsvField(name + "=" + value) + tail;
    }
    if (r.values.empty() || !r.valuesAtAddresses) {
        return out.empty() ? head + std::to_string(r.address) + ',' + type + tail : out;
    }
    for (const Shown& v : ShownValues(r)) {
        out += head + std::to_string(r.address + v.offset) + ',' + type + CsvField(v.text) + tail;
    }
    return out;
}

std::string Json(const PollRecord& r) {
    std::string out = "{\"time\":" + JsonString(IsoTime(r.time));
    out += ",\"slave\":" + std::to_string(r.slave);
    out += ",\"function\":" + std::to_string(r.function);
    out += ",\"address\":" + std::to_string(r.address);
    if (r.type != ValueType::Uint16) {
        out += ",\"type\":" + JsonString(TypeName(r.type));
    }
    out += ",\"values\":[";
    const bool typed = Typed(r);
    bool first = true;
    for (const Shown& v : ShownValues(r)) {
        out += first ? "" : ",";
        first = false;
        out += !typed || IsJsonNumber(r.type, v.text) ? v.text : JsonString(v.text);
    }
    out += "]";
    if (!r.fields.empty()) {
        out += ",\"fields\":{";
        for (std::size_t i = 0; i < r.fields.size(); ++i) {
            out += (i == 0 ? "" : ",") + JsonString(r.fields[i].first) + ":" +
                   JsonString(r.fields[i].second);
        }
        out += "}";
    }
    out += ",\"code\":" + std::to_string(r.code);
    out += ",\"text\":" + JsonString(r.text) + "}\n";
    return out;
}

}  // namespace

std::string FormatHeader(OutputFormat format, ValueType type) {
    if (format != OutputFormat::Csv) {
        return "";
    }
    return type == ValueType::Uint16 ? "time,slave,function,address,value,result\n"
                                     : "time,slave,function,address,type,value,result\n";
}

std::string FormatRecord(OutputFormat format, const PollRecord& record) {
    switch (format) {
        case OutputFormat::Csv:
            return Csv(record);
        case OutputFormat::Json:
            return Json(record);
        case OutputFormat::Table:
        default:
            return Table(record);
    }
}

}  // namespace poll
