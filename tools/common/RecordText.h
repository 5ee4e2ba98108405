#pragma once

#include <chrono>
#include <string>

// The texts every program's records are printed with, whatever the record.
namespace poll {

// "2026-12-08T14:05:09.042+01:00": local time, ISO 8601 with milliseconds and the offset.
std::string IsoTime(std::chrono::system_clock::time_point time);

// A CSV field, quoted when it holds a comma, quote or line break (the fixed texts need none).
std::string CsvField(const std::string& text);
// A JSON string literal, quotes included: quotes, backslashes and control characters escaped.
std::string JsonString(const std::string& text);

}  // namespace poll
