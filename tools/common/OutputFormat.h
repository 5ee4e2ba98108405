#pragma once

namespace poll {

// How a command-line program prints its records: a table for people, CSV with a header line,
// or one JSON object per line.
enum class OutputFormat { Table, Csv, Json };

}  // namespace poll
