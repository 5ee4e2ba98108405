#include "tools/poll/PollOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>
#include <string_view>
#include <utility>

#include "lines/SerialPort.h"
#include "modbus/RegisterLine.h"

namespace poll {

namespace {

enum LongOnly { kParity = 256, kDataBits, kStopBits, kFlow, kCharInterval, kRef, kTrace };

const option kOptions[] = {
    {"mode", required_argument, nullptr, 'm'},
    {"baud", required_argument, nullptr, 'b'},
    {"parity", required_argument, nullptr, kParity},
    {"data-bits", required_argument, nullptr, kDataBits},
    {"stop-bits", required_argument, nullptr, kStopBits},
    {"flow", required_argument, nullptr, kFlow},
    {"timeout", required_argument, nullptr, 't'},
    {"char-interval", required_argument, nullptr, kCharInterval},
    {"slave", required_argument, nullptr, 'a'},
    {"function", required_argument, nullptr, 'f'},
    {"address", required_argument, nullptr, 'r'},
    {"ref", required_argument, nullptr, kRef},
    {"count", required_argument, nullptr, 'c'},
    {"write", required_argument, nullptr, 'w'},
    {"interval", required_argument, nullptr, 'i'},
    {"polls", required_argument, nullptr, 'n'},
    {"format", required_argument, nullptr, 'o'},
    {"trace", required_argument, nullptr, kTrace},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
constexpr std::uint32_t kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr char kShortOptions[] = ":m:b:t:a:f:r:c:w:i:n:o:hV";

std::string OptionName(int code) {
    for (const option& o : kOptions) {
        if (o.name != nullptr && o.val == code) {
            return std::string("--") + o.name;
        }
    }
    return std::string("-") + static_cast<char>(code);
}

std::optional<std::uint32_t> ParseDigits(std::string_view text, int base) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> ParseDecimal(std::string_view text, std::uint32_t low,
                                          std::uint32_t high) {
    const auto value = ParseDigits(text, 10);
    return value && *value >= low && *value <= high ? value : std::nullopt;
}

// Decimal, or hexadecimal as "0x1A2B" or "1A2Bh" (the forms the write dialog takes), at most
// max. Unlike the dialog, junk and numbers past max are refused rather than cut.
std::optional<std::uint32_t> ParseNumber(std::string_view text, std::uint32_t max) {
    std::optional<std::uint32_t> value;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        value = ParseDigits(text.substr(2), 16);
    } else if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) {
        value = ParseDigits(text.substr(0, text.size() - 1), 16);
    } else {
        value = ParseDigits(text, 10);
    }
    return value && *value <= max ? value : std::nullopt;
}

template <typename T>
using Choices = std::pair<std::string_view, T>[];

constexpr Choices<std::uint16_t> kModes = {
    {"rtu", 0}, {"ascii", 1}, {"tcp", kPollModeTcp}, {"udp", kPollModeUdp}};
constexpr Choices<std::uint8_t> kParities = {
    {"none", kParityNone}, {"even", kParityEven}, {"odd", kParityOdd}};
constexpr Choices<std::uint8_t> kStopBitCounts = {{"1", kStopBitsOne}, {"2", kStopBitsTwo}};
constexpr Choices<std::uint8_t> kFlows = {
    {"none", 0}, {"dtrdsr", kFlowDtrDsr}, {"rtscts", kFlowRtsCts}, {"xonxoff", kFlowXonXoff}};
constexpr Choices<OutputFormat> kFormats = {
    {"table", OutputFormat::Table}, {"csv", OutputFormat::Csv}, {"json", OutputFormat::Json}};

template <typename T, std::size_t N>
std::optional<T> Choose(std::string_view text, const std::pair<std::string_view, T> (&choices)[N]) {
    for (const auto& [name, value] : choices) {
        if (name == text) {
            return value;
        }
    }
    return std::nullopt;
}

// Puts a parsed value into its field; false when the text gave none.
template <typename Field, typename Value>
bool Store(const std::optional<Value>& parsed, Field& field) {
    if (parsed) {
        field = static_cast<Field>(*parsed);
    }
    return parsed.has_value();
}

// "COM3" (any case) gives 3; 0 when the text is no COM name; -1 for COM0 or beyond COM16.
int ComPortNumber(const std::string& port) {
    if (port.size() < 4 || std::toupper(static_cast<unsigned char>(port[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(port[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(port[2])) != 'M') {
        return 0;
    }
    const auto n = ParseDigits(std::string_view(port).substr(3), 10);
    if (!n) {
        return 0;
    }
    return *n >= 1 && *n <= 16 ? static_cast<int>(*n) : -1;
}

// What the options cannot check one by one.
std::string CheckRequest(PollOptions& o, std::optional<std::uint32_t> ref) {
    if (ref) {
        const int base = ReferenceBaseOf(o.function);
        if (*ref < static_cast<std::uint32_t>(base) ||
            *ref > static_cast<std::uint32_t>(base) + 9998) {
            return "--ref " + std::to_string(*ref) + " is not a reference of function " +
                   std::to_string(o.function) + " (" + std::to_string(base) + " to " +
                   std::to_string(base + 9998) + ")";
        }
        o.address = static_cast<std::uint16_t>(*ref - static_cast<std::uint32_t>(base));
    }
    const std::uint32_t limit = o.function <= 2 ? 2000 : 125;
    if (o.count < 1 || o.count > limit) {
        return "bad value for --count: " + std::to_string(o.count) + " (1 to " +
               std::to_string(limit) + " for function " + std::to_string(o.function) + ")";
    }
    if (o.address + o.count - 1 > 0xFFFF) {
        return "--address and --count run past address 65535";
    }
    if (o.write) {
        if (o.function == 2 || o.function == 4) {
            return "--write needs function 3 (a register) or 1 (a coil)";
        }
        if (o.count != 1) {
            return "--write writes one value; leave --count at 1";
        }
        if (o.function == 1 && *o.write > 1) {
            return "a coil is written as 1 (on) or 0 (off)";
        }
    }
    return {};
}

}  // namespace

std::uint8_t RequestFunction(const PollOptions& options) {
    if (!options.write) {
        return options.function;
    }
    return options.function == 1 ? 5 : 6;
}

PollParse ParsePollOptions(const std::vector<std::string>& args) {
    PollParse result;
    PollOptions& o = result.options;
    auto fail = [&result](std::string message) {
        result.action = PollParse::Action::Error;
        result.error = std::move(message);
        return result;
    };

    std::vector<std::string> storage;
    storage.reserve(args.size() + 1);
    storage.emplace_back("vornak-poll");
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    std::optional<std::uint32_t> ref;
    bool addressGiven = false;
    opterr = 0;
    optind = 0;  // glibc: start afresh, also after an earlier parse
    for (;;) {
        const int code = getopt_long(static_cast<int>(storage.size()), argv.data(), kShortOptions,
                                     kOptions, nullptr);
        if (code == -1) {
            break;
        }
        const std::string_view value = optarg != nullptr ? optarg : "";
        auto bad = [&](const std::string& expected) {
            return fail("bad value for " + OptionName(code) + ": '" + std::string(value) + "' (" +
                        expected + ")");
        };
        std::optional<std::uint32_t> n;
        switch (code) {
            case 'h':
                result.action = PollParse::Action::Help;
                return result;
            case 'V':
                result.action = PollParse::Action::Version;
                return result;
            case ':':
                return fail(OptionName(optopt) + " needs a value");
            case '?':
                if (optopt != 0) {
                    return fail(std::string("unknown option -") + static_cast<char>(optopt));
                }
                return fail(std::string("unknown option ") + argv[optind - 1]);
            case 'm':
                if (!Store(Choose(value, kModes), o.mode))
                    return bad("rtu, ascii, tcp or udp");
                break;
            case 'b':
                n = ParseDecimal(value, 1, 0xFFFFFFFF);
                if (!n || std::find(std::begin(kBaudRates), std::end(kBaudRates), *n) ==
                              std::end(kBaudRates))
                    return bad("1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200");
                o.baud = *n;
                break;
            case kParity:
                if (!Store(Choose(value, kParities), o.parity))
                    return bad("none, even or odd");
                break;
            case kDataBits:
                if (!Store(ParseDecimal(value, 7, 8), o.dataBits))
                    return bad("7 or 8");
                break;
            case kStopBits:
                if (!Store(Choose(value, kStopBitCounts), o.stopBits))
                    return bad("1 or 2");
                break;
            case kFlow:
                if (!Store(Choose(value, kFlows), o.flow))
                    return bad("none, dtrdsr, rtscts or xonxoff");
                break;
            case 't':
                if (!Store(ParseDecimal(value, 1, 3600000), o.timeoutMs))
                    return bad("1 to 3600000 ms");
                break;
            case kCharInterval:
                if (!Store(ParseDecimal(value, 1, 60000), o.charIntervalMs))
                    return bad("1 to 60000 ms");
                break;
            case 'a':
                if (!Store(ParseDecimal(value, 1, 255), o.slave))
                    return bad("1 to 255");
                break;
            case 'f':
                if (!Store(ParseDecimal(value, 1, 4), o.function))
                    return bad("1, 2, 3 or 4");
                break;
            case 'r':
                if (!Store(ParseNumber(value, 0xFFFF), o.address))
                    return bad("0 to 65535, decimal or 0x hex");
                addressGiven = true;
                break;
            case kRef:
                ref = ParseDecimal(value, 0, 999999);
                if (!ref)
                    return bad("a reference number such as 40001");
                break;
            case 'c':
                if (!Store(ParseDecimal(value, 0, 0xFFFF), o.count))
                    return bad("a number of registers or bits");
                break;
            case 'w':
                if (!Store(ParseNumber(value, 0xFFFF), o.write))
                    return bad("0 to 65535, decimal, 0x1A2B or 1A2Bh");
                break;
            case 'i':
                if (!Store(ParseDecimal(value, 0, 86400000), o.intervalMs))
                    return bad("0 to 86400000 ms");
                break;
            case 'n':
                if (!Store(ParseDecimal(value, 0, 0xFFFFFFFF), o.polls))
                    return bad("0 (until interrupted) or a number of polls");
                break;
            case 'o':
                if (!Store(Choose(value, kFormats), o.format))
                    return bad("table, csv or json");
                break;
            case kTrace:
                if (value.empty())
                    return bad("a file");
                o.trace = value;
                break;
            default:
                return fail("unknown option " + std::string(argv[optind - 1]));
        }
    }

    // getopt_long has moved the operands behind the options, in argv (not in storage).
    const int positional = static_cast<int>(storage.size()) - optind;
    if (positional == 0) {
        return fail("no PORT given (COM1 to COM16, a device path or a URL)");
    }
    if (positional > 1) {
        return fail("one PORT only; unexpected '" + std::string(argv[optind + 1]) + "'");
    }
    o.port = argv[optind];
    o.comPort = ComPortNumber(o.port);
    if (o.port.empty() || o.comPort < 0) {
        return fail("bad PORT '" + o.port + "' (COM1 to COM16, a device path or a URL)");
    }
    if (addressGiven && ref) {
        return fail("give --address or --ref, not both");
    }
    if (std::string problem = CheckRequest(o, ref); !problem.empty()) {
        return fail(problem);
    }
    return result;
}

std::string PollUsageText() {
    return R"(Usage: vornak-poll [OPTIONS] PORT

Reads registers or bits of one Modbus slave on a serial line (RTU or ASCII) or over the
network (Modbus TCP or UDP), or writes one, and prints what came back. PORT is COM1 to COM16
(mapped as vornak maps them: VORNAK_COM<n>, then the "Port Map" of
~/.config/Quorvix/Vornak.ini, then the serial devices found at start, then /dev/ttyS<n-1>), a
device path, or a URL the port layer takes (socket://HOST:PORT, rfc2217://HOST:PORT,
tcp://HOST[:PORT], udp://HOST[:PORT]), options after '?'; with -m tcp or -m udp, HOST[:PORT]
alone (port 502 by default). A tcp:// or udp:// line speaks Modbus TCP whatever -m says.

Line:
  -m, --mode rtu|ascii|tcp|udp  transmission mode (rtu)
  -b, --baud N                1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 (9600)
      --parity none|even|odd  parity (none)
      --data-bits 7|8         data bits (8)
      --stop-bits 1|2         stop bits (1)
      --flow none|dtrdsr|rtscts|xonxoff   flow control (none)
  -t, --timeout MS            response time-out (1000)
      --char-interval MS      silence that ends an answer (20; at least 4 characters)
Request:
  -a, --slave N               slave address 1..255 (1)
  -f, --function 1|2|3|4      coils, discrete inputs, holding or input registers (3)
  -r, --address A             first address from 0, decimal or 0x hex (0)
      --ref N                 first address as a reference number: 4xxxx for function 3,
                              3xxxx for 4, 1xxxx for 2, 0xxxx for 1 (40001 = address 0)
  -c, --count N               registers 1..125 or bits 1..2000 (1)
  -w, --write VALUE           write VALUE at the address instead (function 6; with -f 1,
                              function 5, 1 on or 0 off); decimal, 0x1A2B or 1A2Bh
Polling and output:
  -i, --interval MS           from the start of one poll to the next (1000)
  -n, --polls N               number of polls, 0 until interrupted (1)
  -o, --format table|csv|json one line per register as vornak lists it, then the result;
                              csv: time,slave,function,address,value,result;
                              json: one object per poll and line (table)
      --trace FILE            append every frame to FILE (as VORNAK_TRACE)
  -h, --help                  this text
  -V, --version               the version

Exit status: 0 when every exchange succeeded, 1 when any failed (the last failure's text
on standard error), 2 for bad usage or a port that does not open. SIGINT and SIGTERM end
the run at once, also while an answer is awaited.
)";
}

}  // namespace poll
