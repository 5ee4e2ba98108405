#include "tools/monitor/MonitorFormat.h"

#include <algorithm>
#include <cstdio>

#include "protocol/ExceptionCode.h"
#include "protocol/Lrc.h"
#include "tools/common/RecordText.h"
#include "tools/common/TypedValues.h"

namespace monitor {

namespace {

// A frame's function byte is below '0' in RTU, so only an ASCII frame is all hex digits.
bool IsAsciiFrame(const MonitorRecord& r) {
    return r.kind != RecordKind::Noise && !r.bytes.empty() &&
           std::all_of(r.bytes.begin(), r.bytes.end(), [](std::uint8_t b) {
               return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f');
           });
}

// The values as shown, each with whether it is a JSON number: bits as 0 / 1, registers in the
// type (whole values; registers left over past the last one as plain numbers).
std::vector<std::pair<std::string, bool>> ShownValues(const RecordStyle& s,
                                                      const MonitorRecord& r) {
    std::vector<std::pair<std::string, bool>> shown;
    const std::size_t n = r.values.size();
    std::size_t i = 0;
    if (!r.bitValues && s.type != poll::ValueType::Uint16 && n > 0) {
        if (s.type == poll::ValueType::String) {
            std::string text = poll::DecodeValue(s.type, s.order, r.values.data(), n);
            return {{std::move(text), false}};
        }
        const std::size_t step = poll::RegistersPerValue(s.type);
        for (; i + step <= n; i += step) {
            std::string text = poll::DecodeValue(s.type, s.order, r.values.data() + i, step);
            const bool number = poll::IsJsonNumber(s.type, text);
            shown.emplace_back(std::move(text), number);
        }
    }
    for (; i < n; ++i) {
        shown.emplace_back(std::to_string(r.bitValues ? (r.values[i] != 0 ? 1 : 0) : r.values[i]),
                           true);
    }
    return shown;
}

std::string Optional(const std::optional<std::uint16_t>& value) {
    return value ? std::to_string(*value) : std::string();
}

std::string ExceptionText(std::uint8_t code) {
    return std::to_string(code) + " (" + protocol::ExceptionName(code) + ")";
}

std::string Ms(double ms, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, ms);
    return text;
}

std::string Table(const RecordStyle& s, const MonitorRecord& r, const std::string& time) {
    char kind[16];
    std::snprintf(kind, sizeof kind, "%-9s", KindName(r.kind));
    std::string out = time + " " + kind;
    if (r.slave) {
        out += " slave " + std::to_string(*r.slave);
    }
    if (r.function) {
        out += " function " + std::to_string(*r.function);
    }
    if (r.address) {
        out += " address " + std::to_string(*r.address);
    }
    if (r.count) {
        out += " count " + std::to_string(*r.count);
    }
    for (const protocol::Field& field : r.fields) {
        out += " " + field.name + " " + field.value;
    }
    const auto values = ShownValues(s, r);
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += (i == 0 ? " = " : " ") + values[i].first;
    }
    if (r.exception) {
        out += " exception " + ExceptionText(*r.exception);
    }
    if (!r.error.empty()) {
        out += " " + r.error;
    }
    if (r.answerMs) {
        out += " after " + Ms(*r.answerMs, "%.1f") + " ms";
    }
    return out + " | " + ShownBytes(r) + "\n";
}

// The columns stay those of a record without fields: the fields follow the values in their
// column, each as name=value.
std::string Csv(const RecordStyle& s, const MonitorRecord& r, const std::string& time) {
    std::string values;
    for (const auto& [text, number] : ShownValues(s, r)) {
        values += (values.empty() ? "" : " ") + text;
    }
    for (const protocol::Field& field : r.fields) {
        values += (values.empty() ? "" : " ") + field.name + "=" + field.value;
    }
    return time + ',' + KindName(r.kind) + ',' + (r.slave ? std::to_string(*r.slave) : "") + ',' +
           (r.function ? std::to_string(*r.function) : "") + ',' + Optional(r.address) + ',' +
           Optional(r.count) + ',' + poll::CsvField(values) + ',' +
           (r.exception ? poll::CsvField(ExceptionText(*r.exception)) : "") + ',' +
           poll::CsvField(r.error) + ',' + (r.answerMs ? Ms(*r.answerMs, "%.3f") : "") + ',' +
           ShownBytes(r) + '\n';
}

template <typename T>
std::string JsonNumber(const std::optional<T>& value) {
    return value ? std::to_string(*value) : std::string("null");
}

// Only a record with fields has the member, so that one of a function without any reads as
// it always has.
std::string JsonFields(const std::vector<protocol::Field>& fields) {
    std::string out = "{";
    for (const protocol::Field& field : fields) {
        out += (out.size() > 1 ? "," : "") + poll::JsonString(field.name) + ":" +
               poll::JsonString(field.value);
    }
    return out + "}";
}

std::string Json(const RecordStyle& s, const MonitorRecord& r, const std::string& time) {
    std::string out = "{\"time\":" + poll::JsonString(time);
    out += ",\"kind\":\"" + std::string(KindName(r.kind)) + "\"";
    out += ",\"slave\":" + JsonNumber(r.slave);
    out += ",\"function\":" + JsonNumber(r.function);
    out += ",\"address\":" + JsonNumber(r.address);
    out += ",\"count\":" + JsonNumber(r.count);
    if (!r.fields.empty()) {
        out += ",\"fields\":" + JsonFields(r.fields);
    }
    out += ",\"values\":[";
    bool first = true;
    for (const auto& [text, number] : ShownValues(s, r)) {
        out += (first ? "" : ",") + (number ? text : poll::JsonString(text));
        first = false;
    }
    out += "],\"exception\":" + JsonNumber(r.exception);
    out += ",\"error\":" + poll::JsonString(r.error);
    out += ",\"answer_ms\":" + (r.answerMs ? Ms(*r.answerMs, "%.3f") : std::string("null"));
    out += ",\"bytes\":" + poll::JsonString(ShownBytes(r)) + "}\n";
    return out;
}

std::string Counted(std::uint64_t count, const char* one, const char* more) {
    return std::to_string(count) + " " + (count == 1 ? one : more);
}

}  // namespace

const char* KindName(RecordKind kind) {
    switch (kind) {
        case RecordKind::Request:
            return "request";
        case RecordKind::Answer:
            return "answer";
        case RecordKind::Exception:
            return "exception";
        case RecordKind::Noise:
        default:
            return "noise";
    }
}

std::string ShownBytes(const MonitorRecord& r) {
    if (IsAsciiFrame(r)) {
        std::string text(1, ':');
        text.append(r.bytes.begin(), r.bytes.end());
        return text;
    }
    std::string out;
    out.reserve(r.bytes.size() * 3);
    for (const std::uint8_t byte : r.bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += NibbleToHexDigit(byte >> 4);
        out += NibbleToHexDigit(byte & 0x0F);
    }
    return out;
}

std::string FormatMonitorHeader(poll::OutputFormat format) {
    return format == poll::OutputFormat::Csv
               ? "time,kind,slave,function,address,count,values,exception,error,answer_ms,bytes\n"
               : "";
}

std::string FormatMonitorRecord(const RecordStyle& style, const MonitorRecord& record,
                                std::chrono::system_clock::time_point wall) {
    const std::string time = poll::IsoTime(wall);
    switch (style.format) {
        case poll::OutputFormat::Csv:
            return Csv(style, record, time);
        case poll::OutputFormat::Json:
            return Json(style, record, time);
        case poll::OutputFormat::Table:
        default:
            return Table(style, record, time);
    }
}

std::string FormatTallies(const std::string& device, std::uint64_t records,
                          const std::vector<std::pair<std::uint8_t, SlaveTally>>& tallies,
                          std::uint64_t noiseBytes) {
    std::string out = "--- " + device + " ---\n" + Counted(records, "record", "records") + ", " +
                      Counted(noiseBytes, "noise byte", "noise bytes") + "\n";
    for (const auto& [slave, t] : tallies) {
        out +=
            "slave " + std::to_string(slave) + ": " + Counted(t.requests, "request", "requests") +
            ", " + Counted(t.answers, "answer", "answers") + ", " +
            Counted(t.exceptions, "exception", "exceptions") + ", " + std::to_string(t.unanswered) +
            " unanswered, " + Counted(t.checkErrors, "check error", "check errors");
        // Only answers that followed a request heard have a time.
        if (t.timed > 0) {
            char times[96];
            std::snprintf(times, sizeof times, ", answer min/mean/max = %.3f/%.3f/%.3f ms",
                          t.leastMs, t.meanMs, t.greatestMs);
            out += times;
        }
        out += '\n';
    }
    return out;
}

}  // namespace monitor
