#include "tools/monitor/MonitorOptions.h"

#include <getopt.h>

#include "tools/common/OptionReader.h"
#include "tools/common/OptionText.h"

namespace monitor {

namespace {

enum LongOnly { kParity = 256, kOrder, kTrace, kDuration };

const option kOptions[] = {
    {"mode", required_argument, nullptr, 'm'},
    {"baud", required_argument, nullptr, 'b'},
    {"parity", required_argument, nullptr, kParity},
    {"data-bits", required_argument, nullptr, 'd'},
    {"stop-bits", required_argument, nullptr, 's'},
    {"timeout", required_argument, nullptr, 't'},
    {"type", required_argument, nullptr, 'T'},
    {"order", required_argument, nullptr, kOrder},
    {"format", required_argument, nullptr, 'o'},
    {"trace", required_argument, nullptr, kTrace},
    {"records", required_argument, nullptr, 'n'},
    {"duration", required_argument, nullptr, kDuration},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
constexpr char kShortOptions[] = ":m:b:d:s:t:T:o:n:hV";

const std::pair<std::string_view, MonitorMode> kModes[] = {
    {"rtu", MonitorMode::Rtu}, {"ascii", MonitorMode::Ascii}, {"auto", MonitorMode::Auto}};

}  // namespace

MonitorParse ParseMonitorOptions(const std::vector<std::string>& args) {
    using poll::Choose;
    using poll::COptionReader;
    using poll::ParseDecimal;
    using poll::Store;
    MonitorParse result;
    MonitorOptions& o = result.options;
    auto fail = [&result](std::string message) {
        result.action = MonitorParse::Action::Error;
        result.error = std::move(message);
        return result;
    };
    COptionReader reader("vornak-monitor", args, kShortOptions, kOptions);

    bool orderGiven = false;
    for (int code; (code = reader.Next()) != -1;) {
        const std::string_view value = reader.Value();
        auto bad = [&](const std::string& expected) { return fail(reader.Bad(code, expected)); };
        switch (code) {
            case 'h':
                result.action = MonitorParse::Action::Help;
                return result;
            case 'V':
                result.action = MonitorParse::Action::Version;
                return result;
            case 'm':
                if (!Store(Choose(value, kModes), o.mode))
                    return bad("rtu, ascii or auto; Modbus TCP is no shared bus to listen to");
                break;
            case 'b':
                if (!Store(ParseDecimal(value, 1, 4000000), o.line.baud))
                    return bad("1 to 4000000 bit/s, as the port's driver takes it");
                break;
            case kParity:
                if (!Store(Choose(value, poll::kParities), o.line.parity))
                    return bad("none, even or odd");
                break;
            case 'd':
                if (!Store(ParseDecimal(value, 7, 8), o.line.dataBits))
                    return bad("7 or 8");
                break;
            case 's':
                if (!Store(Choose(value, poll::kStopBitCounts), o.line.stopBits))
                    return bad("1 or 2");
                break;
            case 't':
                if (!Store(ParseDecimal(value, 1, 3600000), o.timeoutMs))
                    return bad("1 to 3600000 ms");
                break;
            case 'T':
                if (!Store(poll::ParseValueType(value), o.type))
                    return bad(poll::kTypeNames);
                break;
            case kOrder:
                if (!Store(poll::ParseWordOrder(value), o.order))
                    return bad(poll::kOrderNames);
                orderGiven = true;
                break;
            case 'o':
                if (!Store(Choose(value, poll::kFormats), o.format))
                    return bad("table, csv or json");
                break;
            case kTrace:
                if (value.empty())
                    return bad("a file");
                o.trace = value;
                break;
            case 'n':
                if (!Store(ParseDecimal(value, 0, 0xFFFFFFFF), o.records))
                    return bad("0 (no limit) or a number of records");
                break;
            case kDuration:
                if (!Store(ParseDecimal(value, 0, 31536000), o.durationS))
                    return bad("0 (no limit) to 31536000 s");
                break;
            default:  // ':', '?'
                return fail(reader.Problem(code));
        }
    }
    const std::vector<std::string> operands = reader.Operands();
    if (operands.empty()) {
        return fail("no PORT given (COM1 to COM16, a device path or socket://HOST:PORT)");
    }
    if (operands.size() > 1) {
        return fail("one PORT only; unexpected '" + operands[1] + "'");
    }
    o.line.port = operands[0];
    o.line.comPort = poll::ComPortNumber(o.line.port);
    if (o.line.port.empty() || o.line.comPort < 0) {
        return fail("bad PORT '" + o.line.port +
                    "' (COM1 to COM16, a device path or socket://HOST:PORT)");
    }
    if (orderGiven && !poll::IsWide(o.type)) {
        return fail(
            "--order needs a 32-bit or 64-bit --type (int32, uint32, float32, int64, uint64, "
            "float64)");
    }
    return result;
}

std::string MonitorUsageText() {
    return R"(Usage: vornak-monitor [OPTIONS] PORT

Listens to a Modbus RTU or ASCII serial bus and prints every frame it hears: requests,
answers paired with their request and its answer time, exceptions, frames whose check fails,
and bytes that make no frame. It only ever reads: no byte is written to the line, and DTR
and RTS are cleared as soon as the device is open. PORT is COM1 to COM16 (mapped as vornak
maps them), a device path, or socket://HOST:PORT (a serial device server's raw TCP port,
only read from). rfc2217://, tcp:// and udp:// lines and the rs485 and echo options are
refused: the first negotiates by writing, Modbus TCP is no shared bus, and the options are
for a line one sends on.

Line:
  -m, --mode rtu|ascii|auto   framing; auto decides from the first good frames (auto)
  -b, --baud N                bit rate, 1 to 4000000 (9600)
      --parity none|even|odd  parity (none)
  -d, --data-bits 7|8         data bits (8)
  -s, --stop-bits 1|2         stop bits (1)
  -t, --timeout MS            a request unanswered this long counts as unanswered (1000)
Values:
  -T, --type TYPE             how registers read: uint16, int16, hex, bin, int32, uint32,
                              float32, int64, uint64, float64 or string (uint16)
      --order ORDER           ABCD, CDAB, BADC or DCBA for 32-bit types, also for 64-bit
                              (or ABCDEFGH, GHEFCDAB, BADCFEHG, HGFEDCBA) (ABCD)
Output:
  -o, --format table|csv|json one line per frame (table); csv with a header line; json one
                              object per line
      --trace FILE            append every frame heard to FILE, as vornak-poll's trace
  -n, --records N             stop after N records, 0 for no limit (0)
      --duration S            stop after S seconds, 0 for no limit (0)
  -h, --help                  this text
  -V, --version               the version

The run ends at SIGINT or SIGTERM, at -n or --duration, or when the line ends (a device that
goes away, a socket the server closes, a pseudo-terminal whose other side closed), and then
prints a summary per slave on standard error: requests, answers, exceptions, unanswered,
check errors, least/mean/greatest answer time, and the noise bytes.
Exit status: 0 after a run, also one ended by a signal once a frame was heard; 128 + the
signal when stopped before any; 1 when the line failed or ended, or output could not be
written; 2 for bad usage or a line that does not open.
)";
}

}  // namespace monitor
