#include "tools/poll/PointRecord.h"

#include "tools/common/RecordText.h"
#include "tools/common/TypedValues.h"

namespace poll {

namespace {

bool Failed(const PointRecord& r) {
    return r.value.empty() && r.code != 0;
}

std::string Table(const PointRecord& r) {
    std::string out = r.nameSlave ? "[Slave " + std::to_string(r.slave) + "] " : std::string();
    out += r.point->name;
    if (Failed(r)) {
        return out + ": " + r.text + '\n';
    }
    out += " = " + r.value;
    if (!r.point->unit.empty()) {
        out += ' ' + r.point->unit;
    }
    return out + '\n';
}

std::string Csv(const PointRecord& r) {
    return IsoTime(r.time) + ',' + std::to_string(r.slave) + ',' + CsvField(r.point->name) + ',' +
           CsvField(r.value) + ',' + CsvField(r.point->unit) + ',' + CsvField(r.text) + '\n';
}

// Coils are JSON booleans, numbers JSON numbers; a string, and a float that is no number,
// a JSON string.
std::string JsonValue(const PointRecord& r) {
    if (Failed(r)) {
        return "null";
    }
    if (r.point->IsBit()) {
        return r.value;  // "true" or "false"
    }
    if (r.point->type != ValueType::String && IsJsonNumber(r.point->type, r.value)) {
        return r.value;
    }
    return JsonString(r.value);
}

}  // namespace

std::string PointJson(const PointRecord& r) {
    std::string out = "{\"time\":" + JsonString(IsoTime(r.time));
    out += ",\"slave\":" + std::to_string(r.slave);
    out += ",\"name\":" + JsonString(r.point->name);
    out += ",\"value\":" + JsonValue(r);
    out += ",\"unit\":" + JsonString(r.point->unit);
    out += ",\"raw\":";
    if (Failed(r)) {
        out += "null";
    } else {
        out += '[';
        for (std::size_t i = 0; i < r.raw.size(); ++i) {
            out += (i == 0 ? "" : ",") + std::to_string(r.raw[i]);
        }
        out += ']';
    }
    return out + ",\"result\":" + JsonString(r.text) + '}';
}

std::string FormatPointHeader(OutputFormat format) {
    return format == OutputFormat::Csv ? "time,slave,name,value,unit,result\n" : "";
}

std::string FormatPointRecord(OutputFormat format, const PointRecord& record) {
    switch (format) {
        case OutputFormat::Csv:
            return Csv(record);
        case OutputFormat::Json:
            return PointJson(record) + '\n';
        case OutputFormat::Table:
        default:
            return Table(record);
    }
}

}  // namespace poll
