#include "tools/poll/PollRecord.h"

#include <cstdio>
#include <ctime>

#include "modbus/RegisterLine.h"

namespace poll {

namespace {

std::string Table(const PollRecord& r) {
    std::string out;
    for (std::size_t i = 0; i < r.values.size(); ++i) {
        out += FormatRegisterLine(r.address, static_cast<int>(i), r.referenceBase, r.values[i]);
        out += '\n';
    }
    return out + r.text + '\n';
}

// The fixed texts need no quoting; a field with a comma, quote or line break would get it.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + '"';
}

std::string Csv(const PollRecord& r) {
    const std::string head =
        IsoTime(r.time) + ',' + std::to_string(r.slave) + ',' + std::to_string(r.function) + ',';
    const std::string tail = ',' + CsvField(r.text) + '\n';
    if (r.values.empty()) {
        return head + std::to_string(r.address) + ',' + tail;
    }
    std::string out;
    for (std::size_t i = 0; i < r.values.size(); ++i) {
        out += head + std::to_string(r.address + i) + ',' + std::to_string(r.values[i]) + tail;
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

std::string Json(const PollRecord& r) {
    std::string out = "{\"time\":" + JsonString(IsoTime(r.time));
    out += ",\"slave\":" + std::to_string(r.slave);
    out += ",\"function\":" + std::to_string(r.function);
    out += ",\"address\":" + std::to_string(r.address);
    out += ",\"values\":[";
    for (std::size_t i = 0; i < r.values.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += std::to_string(r.values[i]);
    }
    out += "],\"code\":" + std::to_string(r.code);
    out += ",\"text\":" + JsonString(r.text) + "}\n";
    return out;
}

}  // namespace

std::string IsoTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char stamp[48];
    const std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    std::snprintf(stamp + n, sizeof stamp - n, ".%03d%c%02ld:%02ld",
                  static_cast<int>(((ms % 1000) + 1000) % 1000), offset < 0 ? '-' : '+',
                  (offset < 0 ? -offset : offset) / 60, (offset < 0 ? -offset : offset) % 60);
    return stamp;
}

std::string FormatHeader(OutputFormat format) {
    return format == OutputFormat::Csv ? "time,slave,function,address,value,result\n" : "";
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
