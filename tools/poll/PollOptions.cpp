#include "tools/poll/PollOptions.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string_view>
#include <utility>

#include "lines/LineAddress.h"
#include "lines/SerialPort.h"
#include "modbus/RegisterLine.h"
#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "tools/common/OptionReader.h"
#include "tools/common/OptionText.h"
#include "tools/poll/PollScan.h"

namespace poll {

namespace {

enum LongOnly {
    kParity = 256,
    kDataBits,
    kStopBits,
    kFlow,
    kCharInterval,
    kRef,
    kTrace,
    kMultiple,
    kOrder,
    kRetries,
    kTurnaround,
    kScan,
    kIdentify,
    kDetect,
    kAll,
    kSub,
    kAnd,
    kOr,
    kWriteAddress,
    kFile,
    kRaw,
    kMap,
    kMaxGap,
    kPlan,
    kSet,
    kMqtt,
    kMqttCa,
    kMqttClientId,
    kMqttPerPoint,
    kMqttQos,
    kMqttRetain,
    kMqttQueue,
    kCert,
    kKey,
    kCa,
    kTlsInfo
};

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
    {"multiple", no_argument, nullptr, kMultiple},
    {"type", required_argument, nullptr, 'T'},
    {"order", required_argument, nullptr, kOrder},
    {"retries", required_argument, nullptr, kRetries},
    {"turnaround", required_argument, nullptr, kTurnaround},
    {"interval", required_argument, nullptr, 'i'},
    {"polls", required_argument, nullptr, 'n'},
    {"format", required_argument, nullptr, 'o'},
    {"trace", required_argument, nullptr, kTrace},
    {"scan", optional_argument, nullptr, kScan},
    {"identify", no_argument, nullptr, kIdentify},
    {"detect", no_argument, nullptr, kDetect},
    {"all", no_argument, nullptr, kAll},
    {"sub", required_argument, nullptr, kSub},
    {"and", required_argument, nullptr, kAnd},
    {"or", required_argument, nullptr, kOr},
    {"write-address", required_argument, nullptr, kWriteAddress},
    {"file", required_argument, nullptr, kFile},
    {"raw", required_argument, nullptr, kRaw},
    {"map", required_argument, nullptr, kMap},
    {"max-gap", required_argument, nullptr, kMaxGap},
    {"plan", no_argument, nullptr, kPlan},
    {"set", required_argument, nullptr, kSet},
    {"mqtt", required_argument, nullptr, kMqtt},
    {"mqtt-ca", required_argument, nullptr, kMqttCa},
    {"mqtt-client-id", required_argument, nullptr, kMqttClientId},
    {"mqtt-per-point", no_argument, nullptr, kMqttPerPoint},
    {"mqtt-qos", required_argument, nullptr, kMqttQos},
    {"mqtt-retain", no_argument, nullptr, kMqttRetain},
    {"mqtt-queue", required_argument, nullptr, kMqttQueue},
    {"cert", required_argument, nullptr, kCert},
    {"key", required_argument, nullptr, kKey},
    {"ca", required_argument, nullptr, kCa},
    {"tls-info", no_argument, nullptr, kTlsInfo},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
constexpr std::uint32_t kMaxBaud = 4000000;
constexpr char kShortOptions[] = ":m:b:t:a:f:r:c:w:T:i:n:o:hV";
constexpr std::size_t kMaxSlaves = 256;
// The functions -f takes beyond 1 to 4, each with the fields it needs.
constexpr std::uint8_t kOtherFunctions[] = {
    protocol::kReadExceptionStatus, protocol::kDiagnostics,
    protocol::kGetCommEventCounter, protocol::kGetCommEventLog,
    protocol::kReadFileRecord,      protocol::kWriteFileRecord,
    protocol::kMaskWriteRegister,   protocol::kReadWriteMultipleRegisters,
    protocol::kReadFifoQueue};
constexpr std::size_t kMaxBauds = 16;
// Brokers take longer client ids than the 23 characters every one must; this is plenty.
constexpr std::size_t kMaxClientId = 128;
// The common rates first: a sweep that finds the usual line early ends early.
constexpr std::uint32_t kDetectBauds[] = {9600, 19200, 38400, 115200, 57600, 4800, 2400, 1200};
constexpr std::pair<std::uint8_t, std::uint8_t> kDetectFramings[] = {{kParityNone, kStopBitsOne},
                                                                     {kParityEven, kStopBitsOne},
                                                                     {kParityOdd, kStopBitsOne},
                                                                     {kParityNone, kStopBitsTwo}};

constexpr Choices<std::uint16_t> kModes = {
    {"rtu", 0}, {"ascii", 1}, {"tcp", kPollModeTcp}, {"udp", kPollModeUdp}, {"tls", kPollModeTls}};
constexpr Choices<std::uint8_t> kFlows = {
    {"none", 0}, {"dtrdsr", kFlowDtrDsr}, {"rtscts", kFlowRtsCts}, {"xonxoff", kFlowXonXoff}};

// "1,3,5-7": addresses 0 to 255 in the order given, at most kMaxSlaves of them; nullopt for
// anything else, *tooMany set when only the count was wrong.
std::optional<std::vector<std::uint8_t>> ParseSlaves(std::string_view text,
                                                     bool* tooMany = nullptr) {
    std::vector<std::uint8_t> slaves;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, comma - start);
        const std::size_t dash = item.find('-');
        const auto low = ParseDecimal(item.substr(0, dash), 0, 255);
        const auto high =
            dash == std::string_view::npos ? low : ParseDecimal(item.substr(dash + 1), 0, 255);
        if (!low || !high || *high < *low) {
            return std::nullopt;
        }
        if (slaves.size() + (*high - *low) >= kMaxSlaves) {
            if (tooMany != nullptr) {
                *tooMany = true;
            }
            return std::nullopt;
        }
        for (std::uint32_t id = *low; id <= *high; ++id) {
            slaves.push_back(static_cast<std::uint8_t>(id));
        }
        start = comma + 1;
    }
    return slaves;
}

// "9600,19200": at most kMaxBauds rates in the order given.
std::optional<std::vector<std::uint32_t>> ParseBauds(std::string_view text) {
    std::vector<std::uint32_t> bauds;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const auto baud = ParseDecimal(text.substr(start, comma - start), 1, kMaxBaud);
        if (!baud || bauds.size() == kMaxBauds) {
            return std::nullopt;
        }
        bauds.push_back(*baud);
        start = comma + 1;
    }
    return bauds;
}

// What --detect tries: the lists given narrow the common ones.
DetectPlan MakeDetectPlan(const PollOptions& o, const std::vector<std::uint32_t>* bauds,
                          bool parityGiven, bool stopBitsGiven, bool modeGiven) {
    DetectPlan plan;
    plan.bauds = bauds != nullptr
                     ? *bauds
                     : std::vector<std::uint32_t>(std::begin(kDetectBauds), std::end(kDetectBauds));
    for (const auto& framing : kDetectFramings) {
        if ((!parityGiven || framing.first == o.parity) &&
            (!stopBitsGiven || framing.second == o.stopBits)) {
            plan.framings.push_back(framing);
        }
    }
    if (plan.framings.empty()) {
        plan.framings.emplace_back(o.parity, o.stopBits);  // such as even with 2 stop bits
    }
    plan.modes = modeGiven ? std::vector<std::uint16_t>{o.mode} : std::vector<std::uint16_t>{0, 1};
    return plan;
}

// Address 0 among the slaves: a broadcast, which nothing answers.
bool Broadcasts(const PollOptions& o) {
    return std::find(o.slaves.begin(), o.slaves.end(), std::uint8_t{0}) != o.slaves.end();
}

// A line whose settings live elsewhere: a network server's, or a device server's own.
bool HasNoLineSettings(const PollOptions& o) {
    if (IsNetworkMode(o.mode)) {
        return true;
    }
    if (o.comPort != 0) {
        return false;  // its mapping is checked once the line is open
    }
    std::string error;
    const std::optional<LineAddress> address = ParseLineAddress(o.port, error);
    return address && (address->kind == LineKind::Socket || IsModbusNetwork(address->kind));
}

// The -w list in the type: registers for a register table, states for coils.
std::string ParseWrites(PollOptions& o, std::string_view list) {
    std::vector<std::string_view> items;
    if (o.type == ValueType::String) {
        items.push_back(list);  // a comma is a character of the text
    } else {
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t comma = std::min(list.find(',', start), list.size());
            items.push_back(list.substr(start, comma - start));
            start = comma + 1;
        }
    }
    o.write.clear();
    for (const std::string_view item : items) {
        if (o.function == 1) {
            if (item != "0" && item != "1") {
                return "bad value for --write: '" + std::string(item) +
                       "' (a coil is written as 1 (on) or 0 (off))";
            }
            o.write.push_back(item == "1" ? 1 : 0);
            continue;
        }
        const auto words = EncodeValue(o.type, o.order, item);
        if (!words) {
            return "bad value for --write: '" + std::string(item) + "' (" + TypeRange(o.type) + ")";
        }
        o.write.insert(o.write.end(), words->begin(), words->end());
    }
    const std::size_t limit = o.function == protocol::kReadCoils ? protocol::kMaxWriteBits
                              : o.function == protocol::kReadWriteMultipleRegisters
                                  ? protocol::kMaxReadWriteWriteRegisters
                                  : protocol::kMaxWriteRegisters;
    if (o.write.size() > limit) {
        return "--write: " + std::to_string(o.write.size()) +
               (o.function == 1 ? " coils" : " registers") + " are more than one request takes (" +
               std::to_string(limit) + ")";
    }
    o.valueCount = static_cast<std::uint16_t>(items.size());
    o.count = static_cast<std::uint16_t>(o.write.size());
    return {};
}

bool IsOtherFunction(std::uint8_t function) {
    return std::find(std::begin(kOtherFunctions), std::end(kOtherFunctions), function) !=
           std::end(kOtherFunctions);
}

// "01 03 00 00 00 0A" or "0103", a PDU of 1 to the largest PDU's bytes.
std::optional<std::vector<std::uint8_t>> ParseHexPdu(std::string_view text) {
    std::vector<std::uint8_t> pdu;
    std::string digits;
    for (const char c : text) {
        if (c == ' ' || c == ':' || c == ',') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        digits += c;
    }
    if (digits.empty() || digits.size() % 2 != 0 || digits.size() / 2 > protocol::kMaxPdu) {
        return std::nullopt;
    }
    for (std::size_t at = 0; at < digits.size(); at += 2) {
        pdu.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(at, 2), nullptr, 16)));
    }
    return pdu;
}

// Which of the other functions' fields were given.
struct OtherFields {
    bool sub = false, andMask = false, orMask = false, writeAddress = false, file = false;
};

// The fields each of the other functions needs, and none it does not take.
std::string CheckOtherFunction(PollOptions& o, const OtherFields& given,
                               std::optional<std::string_view> writeList, bool countGiven,
                               bool addressGiven) {
    const std::string f = "-f " + std::to_string(o.function);
    const bool takesAddress = o.function == protocol::kReadFileRecord ||
                              o.function == protocol::kWriteFileRecord ||
                              o.function == protocol::kMaskWriteRegister ||
                              o.function == protocol::kReadWriteMultipleRegisters ||
                              o.function == protocol::kReadFifoQueue;
    const bool takesCount = o.function == protocol::kReadFileRecord ||
                            o.function == protocol::kReadWriteMultipleRegisters;
    const bool takesWrite = o.function == protocol::kDiagnostics ||
                            o.function == protocol::kWriteFileRecord ||
                            o.function == protocol::kReadWriteMultipleRegisters;
    if (addressGiven && !takesAddress) {
        return f + " takes no --address";
    }
    if (countGiven && !takesCount) {
        return f + " takes no --count";
    }
    if (writeList && !takesWrite) {
        return f + " takes no --write";
    }
    if (given.sub != (o.function == protocol::kDiagnostics)) {
        return given.sub ? "--sub goes with -f 8" : "-f 8 needs --sub N (the sub-function)";
    }
    const bool masks = o.function == protocol::kMaskWriteRegister;
    if ((given.andMask || given.orMask) && !masks) {
        return "--and and --or go with -f 22";
    }
    if (masks && !(given.andMask && given.orMask)) {
        return "-f 22 needs --and MASK and --or MASK";
    }
    const bool readWrite = o.function == protocol::kReadWriteMultipleRegisters;
    if (given.writeAddress && !readWrite) {
        return "--write-address goes with -f 23";
    }
    if (readWrite && (!given.writeAddress || !writeList)) {
        return "-f 23 needs --write-address A and --write LIST beside its read's -r and -c";
    }
    const bool files =
        o.function == protocol::kReadFileRecord || o.function == protocol::kWriteFileRecord;
    if (given.file != files) {
        return given.file ? "--file goes with -f 20 or -f 21" : f + " needs --file N";
    }
    if (o.function == protocol::kWriteFileRecord && !writeList) {
        return "-f 21 needs --write LIST, the records' values";
    }
    if (o.type != ValueType::Uint16 && !readWrite) {
        return "--type goes with registers read or written: -f 3, 4 or 23";
    }
    const std::uint16_t readCount = o.valueCount;
    if (writeList) {
        if (std::string problem = ParseWrites(o, *writeList); !problem.empty()) {
            return problem;
        }
        o.count = 0;
    }
    if (o.function == protocol::kDiagnostics && o.write.empty()) {
        o.write = {0};  // what every sub-function but 0 and 1 takes as its data
    }
    if (takesCount) {
        if (readWrite && (readCount < 1 ||
                          RegistersFor(o.type, readCount) > protocol::kMaxReadWriteReadRegisters)) {
            return "bad value for --count: " + std::to_string(readCount) + " (1 to " +
                   std::to_string(protocol::kMaxReadWriteReadRegisters) + " registers for -f 23)";
        }
        o.valueCount = readCount;
        o.count =
            static_cast<std::uint16_t>(readWrite ? RegistersFor(o.type, readCount) : readCount);
    }
    if (std::any_of(o.slaves.begin(), o.slaves.end(), [](std::uint8_t s) { return s == 0; }) &&
        !masks && o.function != protocol::kWriteFileRecord) {
        return "--slave 0 broadcasts and takes writes only; a read needs 1 to 255";
    }
    return {};
}

// What the options cannot check one by one.
std::string CheckRequest(PollOptions& o, std::optional<std::uint32_t> ref,
                         std::optional<std::string_view> writeList, bool countGiven,
                         bool orderGiven) {
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
    if (o.type != ValueType::Uint16 && o.function <= 2) {
        return "--type needs function 3 or 4 (registers); coils and inputs are bits";
    }
    if (orderGiven && !IsWide(o.type)) {
        return "--order needs a 32-bit or 64-bit --type (int32, uint32, float32, int64, uint64, "
               "float64)";
    }
    if (writeList) {
        if (o.function == 2 || o.function == 4) {
            return "--write needs function 3 (a register) or 1 (a coil)";
        }
        if (countGiven) {
            return "--count: a write takes its count from the --write list; leave --count out";
        }
        if (std::string problem = ParseWrites(o, *writeList); !problem.empty()) {
            return problem;
        }
    } else {
        if (Broadcasts(o)) {
            return "--slave 0 broadcasts and takes writes only; a read needs 1 to 255";
        }
        const std::size_t limit =
            o.function <= 2 ? protocol::kMaxReadBits : protocol::kMaxReadRegisters;
        const std::size_t registers = RegistersFor(o.type, o.valueCount);
        if (o.valueCount < 1 || registers > limit) {
            const std::size_t most =
                o.type == ValueType::String ? limit * 2 : limit / RegistersPerValue(o.type);
            const std::string what = o.type == ValueType::String ? " characters"
                                     : o.type == ValueType::Uint16
                                         ? ""
                                         : std::string(" ") + TypeName(o.type) + " values";
            return "bad value for --count: " + std::to_string(o.valueCount) + " (1 to " +
                   std::to_string(most) + what + " for function " + std::to_string(o.function) +
                   ")";
        }
        o.count = static_cast<std::uint16_t>(registers);
    }
    if (o.address + o.count - 1 > 0xFFFF) {
        return "--address and --count run past address 65535";
    }
    return {};
}

}  // namespace

bool IsTableFunction(std::uint8_t function) {
    return function >= protocol::kReadCoils && function <= protocol::kReadInputRegisters;
}

std::uint8_t RequestFunction(const PollOptions& o) {
    if (!o.raw.empty()) {
        return o.raw[0];
    }
    if (o.write.empty() || !IsTableFunction(o.function)) {
        return o.function;
    }
    const bool multiple =
        o.multiple || o.write.size() > 1 || IsWide(o.type) || o.type == ValueType::String;
    if (o.function == 1) {
        return multiple ? 15 : 5;
    }
    return multiple ? 16 : 6;
}

// The TLS files go with a TLS line, and such a line needs all three.
std::string CheckTls(const PollOptions& o) {
    const bool given = !o.tls.cert.empty() || !o.tls.key.empty() || !o.tls.ca.empty();
    const bool tlsUrl = o.port.rfind("tls://", 0) == 0;
    if ((given || o.tls.info) && o.mode != kPollModeTls && !tlsUrl && !o.port.empty()) {
        return "--cert, --key, --ca and --tls-info go with -m tls or a tls:// PORT";
    }
    if (o.mode == kPollModeTls && !tlsUrl &&
        (o.tls.cert.empty() || o.tls.key.empty() || o.tls.ca.empty())) {
        return "-m tls needs --cert FILE, --key FILE and --ca FILE: the device and this end "
               "both show a certificate";
    }
    return {};
}

std::string SetPort(PollOptions& o, const std::string& port) {
    o.port = port;
    o.comPort = ComPortNumber(o.port);
    if (o.port.empty() || o.comPort < 0) {
        return "bad PORT '" + o.port + "' (COM1 to COM16, a device path or a URL)";
    }
    return {};
}

PollParse ParsePollOptions(const std::vector<std::string>& args) {
    PollParse result;
    PollOptions& o = result.options;
    auto fail = [&result](std::string message) {
        result.action = PollParse::Action::Error;
        result.error = std::move(message);
        return result;
    };

    COptionReader reader("vornak-poll", args, kShortOptions, kOptions);

    std::optional<std::uint32_t> ref;
    std::optional<std::string_view> writeList;
    bool addressGiven = false;
    bool countGiven = false;
    bool orderGiven = false;
    bool slavesGiven = false;
    bool timeoutGiven = false;
    bool modeGiven = false;
    bool parityGiven = false;
    bool stopBitsGiven = false;
    bool detect = false;
    bool all = false;
    std::optional<std::string_view> baudText;
    std::optional<std::vector<std::uint8_t>> scanIds;
    OtherFields other;
    bool functionGiven = false;
    MapOptions map;
    MqttOptions mqtt;
    MapGiven mapGiven;
    bool mapAsked = false;
    for (int code; (code = reader.Next()) != -1;) {
        const std::string_view value = reader.Value();
        auto bad = [&](const std::string& expected) { return fail(reader.Bad(code, expected)); };
        std::optional<std::uint32_t> n;
        switch (code) {
            case 'h':
                result.action = PollParse::Action::Help;
                return result;
            case 'V':
                result.action = PollParse::Action::Version;
                return result;
            case 'm':
                if (!Store(Choose(value, kModes), o.mode))
                    return bad("rtu, ascii, tcp, udp or tls");
                modeGiven = true;
                break;
            case 'b':
                if (!ParseBauds(value))
                    return bad(
                        "1 to 4000000 bit/s, as the port's driver takes it; for --detect a "
                        "list such as 9600,19200");
                baudText = value;
                break;
            case kParity:
                if (!Store(Choose(value, kParities), o.parity))
                    return bad("none, even or odd");
                parityGiven = true;
                break;
            case kDataBits:
                if (!Store(ParseDecimal(value, 7, 8), o.dataBits))
                    return bad("7 or 8");
                break;
            case kStopBits:
                if (!Store(Choose(value, kStopBitCounts), o.stopBits))
                    return bad("1 or 2");
                stopBitsGiven = true;
                break;
            case kFlow:
                if (!Store(Choose(value, kFlows), o.flow))
                    return bad("none, dtrdsr, rtscts or xonxoff");
                break;
            case 't':
                if (!Store(ParseDecimal(value, 1, 3600000), o.timeoutMs))
                    return bad("1 to 3600000 ms");
                timeoutGiven = true;
                break;
            case kCharInterval:
                if (!Store(ParseDecimal(value, 1, 60000), o.charIntervalMs))
                    return bad("1 to 60000 ms");
                break;
            case 'a': {
                bool tooMany = false;
                if (!Store(ParseSlaves(value, &tooMany), o.slaves))
                    return tooMany ? fail("--slave: at most " + std::to_string(kMaxSlaves) +
                                          " addresses in one list")
                                   : bad("1 to 255, a list such as 1,3,5-7, or 0 to broadcast a "
                                         "write");
                slavesGiven = true;
                break;
            }
            case 'f':
                if (!Store(ParseDecimal(value, 1, 4), o.function) &&
                    !(Store(ParseDecimal(value, 1, 255), o.function) &&
                      IsOtherFunction(o.function)))
                    return bad("1, 2, 3 or 4, or 7, 8, 11, 12, 20, 21, 22, 23 or 24");
                functionGiven = true;
                break;
            case kSub:
                if (!Store(ParseRegister(value), o.subFunction))
                    return bad("a sub-function, 0 to 65535");
                other.sub = true;
                break;
            case kAnd:
                if (!Store(ParseRegister(value), o.andMask))
                    return bad("a 16-bit mask, decimal or 0x hex");
                other.andMask = true;
                break;
            case kOr:
                if (!Store(ParseRegister(value), o.orMask))
                    return bad("a 16-bit mask, decimal or 0x hex");
                other.orMask = true;
                break;
            case kWriteAddress:
                if (!Store(ParseRegister(value), o.writeAddress))
                    return bad("0 to 65535, decimal or 0x hex");
                other.writeAddress = true;
                break;
            case kFile:
                if (!Store(ParseDecimal(value, 1, 0xFFFF), o.file))
                    return bad("a file number, 1 to 65535");
                other.file = true;
                break;
            case kRaw:
                if (!Store(ParseHexPdu(value), o.raw))
                    return bad(
                        "a PDU in hex, its function code first, at most 253 bytes, such "
                        "as \"03 00 00 00 0A\"");
                break;
            case 'r':
                if (!Store(ParseRegister(value), o.address))
                    return bad("0 to 65535, decimal or 0x hex");
                addressGiven = true;
                break;
            case kRef:
                ref = ParseDecimal(value, 0, 999999);
                if (!ref)
                    return bad("a reference number such as 40001");
                break;
            case 'c':
                if (!Store(ParseDecimal(value, 0, 0xFFFF), o.valueCount))
                    return bad("a number of values, registers or bits");
                countGiven = true;
                break;
            case 'w':
                if (value.empty())
                    return bad("a value or a comma-separated list of values");
                writeList = value;
                break;
            case kMultiple:
                o.multiple = true;
                break;
            case 'T':
                if (!Store(ParseValueType(value), o.type))
                    return bad(kTypeNames);
                break;
            case kOrder:
                if (!Store(ParseWordOrder(value), o.order))
                    return bad(kOrderNames);
                orderGiven = true;
                break;
            case kRetries:
                if (!Store(ParseDecimal(value, 0, 10), o.retries))
                    return bad("0 to 10");
                break;
            case kTurnaround:
                if (!Store(ParseDecimal(value, 0, 60000), o.turnaroundMs))
                    return bad("0 to 60000 ms");
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
            case kScan:
                o.scan = true;
                // "--scan 1-8" as well as "--scan=1-8": a following word that reads as a
                // list is taken, which no PORT ever does.
                if (const char* next = reader.Following(); !reader.HasValue() && next != nullptr) {
                    if (auto ids = ParseSlaves(next)) {
                        scanIds = std::move(ids);
                        reader.Take();
                    }
                } else if (reader.HasValue() && !Store(ParseSlaves(value), scanIds)) {
                    return bad("1 to 255, a list such as 1,3,5-7 (1-247)");
                }
                break;
            case kIdentify:
                o.identify = true;
                break;
            case kDetect:
                detect = true;
                break;
            case kAll:
                all = true;
                break;
            case kTrace:
                if (value.empty())
                    return bad("a file");
                o.trace = value;
                break;
            case kMap:
                if (value.empty())
                    return bad("a device profile (.toml) or register list (.csv)");
                map.profile = value;
                mapAsked = true;
                break;
            case kMaxGap:
                if (!Store(ParseDecimal(value, 0, protocol::kMaxReadRegisters), map.maxGap))
                    return bad("0 to " + std::to_string(protocol::kMaxReadRegisters) +
                               " registers");
                mapGiven.maxGap = true;
                break;
            case kPlan:
                map.plan = true;
                mapGiven.plan = true;
                break;
            case kSet:
                if (value.empty())
                    return bad("NAME=VALUE[,NAME=VALUE...]");
                map.set = std::string(value);
                break;
            case kMqtt:
                if (value.empty())
                    return bad("mqtt://HOST[:PORT]/TOPIC or mqtts://HOST[:PORT]/TOPIC");
                mqtt.url = value;
                break;
            case kMqttCa:
                if (value.empty())
                    return bad("a file of CA certificates");
                mqtt.caFile = value;
                mapGiven.mqttDetail = true;
                break;
            case kMqttClientId:
                if (value.empty() || value.size() > kMaxClientId)
                    return bad("1 to " + std::to_string(kMaxClientId) + " characters");
                mqtt.clientId = value;
                mapGiven.mqttDetail = true;
                break;
            case kMqttPerPoint:
                mqtt.perPoint = true;
                mapGiven.mqttDetail = true;
                mapGiven.perPoint = true;
                break;
            case kMqttQos:
                if (!Store(ParseDecimal(value, 0, 1), mqtt.qos))
                    return bad("0 or 1");
                mapGiven.mqttDetail = true;
                break;
            case kMqttRetain:
                mqtt.retain = true;
                mapGiven.mqttDetail = true;
                break;
            case kCert:
            case kKey:
            case kCa:
                if (value.empty() || value.find_first_of("?&") != std::string_view::npos)
                    return bad("a file, its name without '?' or '&'");
                (code == kCert ? o.tls.cert : code == kKey ? o.tls.key : o.tls.ca) = value;
                break;
            case kTlsInfo:
                o.tls.info = true;
                break;
            case kMqttQueue:
                if (!Store(ParseDecimal(value, 1, 1000000), mqtt.queue))
                    return bad("1 to 1000000 messages");
                mapGiven.mqttDetail = true;
                break;
            default:  // ':', '?'
                return fail(reader.Problem(code));
        }
    }

    std::vector<std::string> operands = reader.Operands();
    // A map's reads name points beside PORT, in any order; which word is which is known once
    // the profile is loaded.
    const bool portLater = mapAsked && !map.set;
    if (operands.empty() && !portLater) {
        return fail("no PORT given (COM1 to COM16, a device path or a URL)");
    }
    if (operands.size() > 1 && !portLater) {
        return fail("one PORT only; unexpected '" + operands[1] + "'");
    }
    if (!portLater) {
        if (std::string problem = SetPort(o, operands[0]); !problem.empty()) {
            return fail(problem);
        }
        operands.erase(operands.begin());
    }
    if (addressGiven && ref) {
        return fail("give --address or --ref, not both");
    }
    const auto bauds = baudText ? ParseBauds(*baudText) : std::nullopt;
    if (bauds) {
        if (bauds->size() > 1 && !detect) {
            return fail("--baud takes one rate; a list such as 9600,19200 is for --detect");
        }
        o.baud = bauds->front();
    }
    if (all && !detect) {
        return fail("--all goes with --detect");
    }
    if (detect) {
        if (writeList) {
            return fail("--detect reads and takes no --write");
        }
        if (o.scan || o.identify) {
            return fail(std::string("--detect finds the line's settings and takes no ") +
                        (o.scan ? "--scan" : "--identify") + "; give its options to a second run");
        }
        if (HasNoLineSettings(o)) {
            return fail("--detect needs a serial line; " + o.port +
                        " has no line settings to detect");
        }
        o.detect =
            MakeDetectPlan(o, bauds ? &*bauds : nullptr, parityGiven, stopBitsGiven, modeGiven);
        o.detect->all = all;
    }
    if (o.identify) {
        if (writeList) {
            return fail("--identify reads and takes no --write");
        }
        if (Broadcasts(o)) {
            return fail("--identify asks 1 to 255; 0 broadcasts and nothing answers it");
        }
    }
    if (o.scan) {
        if (writeList) {
            return fail("--scan reads and takes no --write");
        }
        if (slavesGiven && scanIds) {
            return fail("--scan takes its addresses or --slave's, not both");
        }
        if (!scanIds && !slavesGiven) {
            scanIds = ParseSlaves("1-247");
        }
        if (scanIds) {
            o.slaves = *scanIds;
        }
        if (Broadcasts(o)) {
            return fail("--scan asks 1 to 255; 0 broadcasts and nothing answers it");
        }
    }
    const bool beyondTables = IsOtherFunction(o.function) || !o.raw.empty();
    if (beyondTables && (o.scan || o.identify || detect)) {
        return fail(std::string(o.scan       ? "--scan"
                                : o.identify ? "--identify"
                                             : "--detect") +
                    " reads with -f 1 to 4; it takes no " +
                    (o.raw.empty() ? "-f " + std::to_string(o.function) : std::string("--raw")));
    }
    if (!o.raw.empty()) {
        if (functionGiven || writeList || countGiven || addressGiven || ref || other.sub ||
            other.andMask || other.orMask || other.writeAddress || other.file) {
            return fail("--raw is the whole request; it takes no -f, -r, -c, -w or their fields");
        }
        if (Broadcasts(o)) {
            return fail("--raw asks 1 to 255 and reads the answer; 0 broadcasts");
        }
    } else if (IsOtherFunction(o.function)) {
        if (ref) {
            return fail("--ref goes with -f 1 to 4");
        }
        if (std::string problem = CheckOtherFunction(o, other, writeList, countGiven, addressGiven);
            !problem.empty()) {
            return fail(problem);
        }
    } else if (std::string problem = CheckRequest(o, ref, writeList, countGiven, orderGiven);
               !problem.empty()) {
        return fail(problem);
    } else if (other.sub || other.andMask || other.orMask || other.writeAddress || other.file) {
        return fail("--sub, --and, --or, --write-address and --file go with -f 8, 20 to 23");
    }
    mapGiven.set = map.set.has_value();
    if (mapAsked) {
        map.slavesGiven = slavesGiven;
        o.map = std::move(map);
    }
    if (!mqtt.url.empty()) {
        o.mqtt = std::move(mqtt);
    }
    mapGiven.request = functionGiven || addressGiven || ref || countGiven || writeList ||
                       orderGiven || o.type != ValueType::Uint16 || !o.raw.empty();
    mapGiven.kind = o.scan ? "--scan" : o.identify ? "--identify" : detect ? "--detect" : "";
    if (std::string problem = CheckMapOptions(o, mapGiven, operands); !problem.empty()) {
        return fail(problem);
    }
    if (std::string problem = CheckTls(o); !problem.empty()) {
        return fail(problem);
    }
    o.timeoutGiven = timeoutGiven;
    if (o.scan && !timeoutGiven) {
        o.timeoutMs = ScanTimeoutMs(o);
    }
    o.identifyTimeoutMs = timeoutGiven ? o.timeoutMs : IdentifyTimeoutMs(o);
    return result;
}

std::string PollUsageText() {
    return R"(Usage: vornak-poll [OPTIONS] PORT
       vornak-poll --map PROFILE [OPTIONS] PORT [POINT...]

Reads registers or bits of Modbus slaves on a serial line (RTU or ASCII) or over the network
(Modbus TCP or UDP), or writes them, and prints what came back. PORT is COM1 to COM16
(mapped as vornak maps them: VORNAK_COM<n>, then the "Port Map" of
~/.config/Quorvix/Vornak.ini, then the serial devices found at start, then /dev/ttyS<n-1>), a
device path, or a URL the port layer takes (socket://HOST:PORT, rfc2217://HOST:PORT,
tcp://HOST[:PORT], udp://HOST[:PORT], tls://HOST[:PORT]), options after '?'; with -m tcp,
-m udp or -m tls, HOST[:PORT] alone (port 502 by default, 802 for tls). A tcp://, udp:// or
tls:// line speaks Modbus TCP whatever -m says.

Line:
  -m, --mode rtu|ascii|tcp|udp|tls  transmission mode (rtu); tls is Modbus/TCP Security
      --cert FILE, --key FILE, --ca FILE   with -m tls: this end's certificate and key,
                              and the CA the device's certificate must be signed by
      --tls-info              say on standard error what the TLS line agreed
  -b, --baud N                any rate from 1 to 4000000 the port's driver takes (9600);
                              for --detect a list of rates to try, such as 9600,19200
      --parity none|even|odd  parity (none)
      --data-bits 7|8         data bits (8)
      --stop-bits 1|2         stop bits (1)
      --flow none|dtrdsr|rtscts|xonxoff   flow control (none)
  -t, --timeout MS            response time-out (1000)
      --char-interval MS      the longest gap inside an answer, which ends at its length
                              (50; at least 4 characters)
      --retries N             repeat an exchange that got no good answer, 0 to 10 times (0)
      --turnaround MS         pause after a broadcast before the next request (100)
Request:
  -a, --slave LIST            slave addresses 1..255, such as 1,3,5-7, asked in turn each
                              poll (1), at most 256 in a list; 0 broadcasts a write
  -f, --function 1|2|3|4      coils, discrete inputs, holding or input registers (3)
  -r, --address A             first address from 0, decimal or 0x hex (0)
      --ref N                 first address as a reference number: 4xxxx for function 3,
                              3xxxx for 4, 1xxxx for 2, 0xxxx for 1 (40001 = address 0)
  -c, --count N               values of the type (registers 1..125, bits 1..2000; a string's
                              characters) (1)
  -T, --type TYPE             uint16, int16, hex, bin, int32, uint32, float32, int64, uint64,
                              float64 or string (two characters a register) (uint16)
      --order ORDER           ABCD, CDAB, BADC or DCBA for 32-bit types, also for 64-bit
                              (or ABCDEFGH, GHEFCDAB, BADCFEHG, HGFEDCBA) (ABCD)
  -w, --write LIST            write the comma-separated values at the address instead: one
                              16-bit value by function 6 (a coil, -f 1: 5), several by 16
                              (coils: 15), up to 123 registers or 1968 coils; values in the
                              type (uint16: decimal, 0x1A2B or 1A2Bh; coils 1 or 0)
      --multiple              write one value by function 16 (coils: 15)
  -f 7                        read exception status: the eight outputs
  -f 8 --sub N [-w LIST]      diagnostics sub-function N with its data words (0x0000)
  -f 11, -f 12                the comm event counter, the comm event log
  -f 20 --file N -r R -c L    read L registers of file N from record R
  -f 21 --file N -r R -w LIST write the registers of file N from record R
  -f 22 -r A --and M --or M   mask write register A
  -f 23 -r A -c N --write-address B -w LIST
                              write LIST from B, then read N registers from A (-T applies)
  -f 24 -r A                  read the FIFO queue at pointer address A
      --raw HEX               send this PDU (function code and data, such as "03 00 00 00 0A")
                              and print the answer's PDU in hex, an exception decoded
Polling and output:
  -i, --interval MS           from the start of one poll to the next (1000)
  -n, --polls N               number of polls, 0 until interrupted (1)
  -o, --format table|csv|json one line per value as vornak lists registers, then the result;
                              csv: time,slave,function,address[,type],value,result;
                              json: one object per request and line (table)
      --trace FILE            append every frame to FILE (as VORNAK_TRACE)
      --scan[=LIST]           ask each address of LIST (as -a; 1-247) once with the read and
                              list those that answer, exceptions included, with the time;
                              time-out: the exchange's wire time + 50 ms unless -t is given
      --identify              read the device identification objects (function 43/14:
                              basic, regular, extended) of each -a address and print them
                              by name; a slave without it is asked by function 17. With
                              --scan, each address found, its objects beneath it; time-out:
                              a 256-byte answer's wire time + 50 ms unless -t is given
      --detect                find the line's settings: try each rate (9600, 19200, 38400,
                              115200, 57600, 4800, 2400, 1200), parity and stop bits (none/1,
                              even/1, odd/1, none/2) and mode (rtu, ascii) with the read at
                              each -a address (1), the scan's time-out at each, and print
                              the options of the first that answers; -b, --parity,
                              --stop-bits and -m narrow the sweep to what they give
      --all                   with --detect: go on and print every combination that answers
Maps:
      --map PROFILE [POINT...] read the points of a device profile (.toml) or register
                              list (.csv) by name (all when none is named, beside PORT),
                              in the fewest requests, in engineering units;
                              csv: time,slave,name,value,unit,result
      --max-gap N             points at most N registers apart share a read (8)
      --plan                  print the requests the map would send, and send nothing
      --set NAME=VALUE[,...]  write points by name, neighbours in one request
MQTT:
      --mqtt URL              publish each poll as JSON: mqtt://HOST[:PORT]/TOPIC or
                              mqtts://HOST[:PORT]/TOPIC (user and password from
                              VORNAK_MQTT_USER and VORNAK_MQTT_PASSWORD)
      --mqtt-ca FILE          CA certificates for mqtts:// (the system's)
      --mqtt-per-point        one message a point on TOPIC/NAME (with --map)
      --mqtt-qos 0|1          quality of service (0)
      --mqtt-retain           publish retained
      --mqtt-client-id ID     client id (vornak-poll-HOST-PID)
      --mqtt-queue N          messages kept while the broker is away (10000)
  -h, --help                  this text
  -V, --version               the version

A run of more than one poll opens a lost line again at the next poll and ends with a summary
on standard error: polls, failures by result, least, mean and greatest exchange time.
Exit status: 0 when every exchange succeeded, 1 when any failed (the last failure's text
on standard error), 2 for bad usage or a port that does not open. SIGINT and SIGTERM end
the run at once, also while an answer is awaited. A scan ends with 0 when an address
answered, 1 when none did, 130 (SIGTERM: 143) when it was stopped, after what it found.
An identification ends with 0 when a slave was identified, 1 when none was. A detection
ends with 0 when a combination answered, 1 when none did, 130 (143) when it was stopped.
)";
}

}  // namespace poll
