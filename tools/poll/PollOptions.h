#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/common/OutputFormat.h"
#include "tools/common/TypedValues.h"
#include "tools/poll/MapOptions.h"

namespace poll {

// Modes beyond the master's RTU (0) and ASCII (1): the line is a Modbus TCP or UDP one.
constexpr std::uint16_t kPollModeTcp = 2;
constexpr std::uint16_t kPollModeUdp = 3;
// Modbus/TCP Security: MBAP frames inside TLS, certificates on both sides.
constexpr std::uint16_t kPollModeTls = 4;

// TCP, UDP or TLS: a line whose settings live at the far end.
inline bool IsNetworkMode(std::uint16_t mode) {
    return mode == kPollModeTcp || mode == kPollModeUdp || mode == kPollModeTls;
}

// The files a TLS line shows and checks the device by.
struct TlsOptions {
    std::string cert, key, ca;
    bool info = false;  // say what was agreed once the line is open
};

// The line settings --detect tries, each list in the order tried.
struct DetectPlan {
    std::vector<std::uint32_t> bauds;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> framings;  // parity, stop bits
    std::vector<std::uint16_t> modes;                             // 0 RTU, 1 ASCII
    bool all = false;  // every combination that answers, not only the first
};

struct PollOptions {
    std::string port;  // as given: COMn, a device path or a URL
    int comPort = 0;   // 1..16 for COMn, 0 for a path or URL
    // The line, in the master's codes.
    std::uint16_t mode = 0;  // 0 RTU, 1 ASCII, or kPollModeTcp / kPollModeUdp
    std::uint32_t baud = 9600;
    std::uint8_t parity = 0;  // 0 none, 1 odd, 2 even
    std::uint16_t dataBits = 8;
    std::uint8_t stopBits = 0;  // 0 one, 2 two
    std::uint8_t flow = 0;      // kFlow* flags
    std::uint32_t timeoutMs = 1000;
    bool timeoutGiven = false;  // -t then stands for every short time-out below
    // The longest gap inside an answer, whose end its length marks: it outlasts a USB adapter's
    // 16 ms delivery bursts and a network's pieces.
    std::uint32_t charIntervalMs = 50;
    // The request.
    std::vector<std::uint8_t> slaves{1};  // asked in turn each poll; 0 broadcasts a write
    // The read function (1 to 4; a write uses 5, 6, 15 or 16 at its table), or one of the
    // other public functions, 7, 8, 11, 12 and 20 to 24, as it is sent.
    std::uint8_t function = 3;
    std::uint16_t address = 0;
    std::uint16_t count = 1;       // registers or bits in the request
    std::uint16_t valueCount = 1;  // values of the type (a string's characters)
    ValueType type = ValueType::Uint16;
    WordOrder order = WordOrder::Abcd;
    std::vector<std::uint16_t> write;  // registers or coil states to write; empty for a read
    // The other public functions' own fields: 8's sub-function (its data words in write), 22's
    // masks, 23's write address (its values in write, its read at address and count), the file
    // of 20 and 21 (the record at address; 20's length in count, 21's values in write).
    std::uint16_t subFunction = 0;
    std::uint16_t andMask = 0;
    std::uint16_t orMask = 0;
    std::uint16_t writeAddress = 0;
    std::uint16_t file = 0;
    // --raw: a PDU (function code and data) sent as it was typed; empty otherwise.
    std::vector<std::uint8_t> raw;
    bool multiple = false;  // 15 / 16 even for one value
    std::uint32_t retries = 0;
    std::uint32_t turnaroundMs = 100;  // the pause after a broadcast
    // Polling and output.
    std::uint32_t intervalMs = 1000;
    std::uint32_t polls = 1;  // 0: until interrupted
    OutputFormat format = OutputFormat::Table;
    std::string trace;
    // A scan asks each of the slaves once and lists those that answer.
    bool scan = false;
    // Reads each slave's identification objects instead of registers.
    bool identify = false;
    // The time-out of identification within a scan.
    std::uint32_t identifyTimeoutMs = 1000;
    // Looks for the line settings at which a slave answers.
    std::optional<DetectPlan> detect;
    TlsOptions tls;
    std::optional<MapOptions> map;
    std::optional<MqttOptions> mqtt;
};

struct PollParse {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    PollOptions options;
    std::string error;  // for Action::Error: one line, without the program name
};

// args excludes the program name. Short and long options as getopt_long takes them
// ("-c 5", "-c5", "--count 5", "--count=5"), options and the port in any order.
PollParse ParsePollOptions(const std::vector<std::string>& args);

std::string PollUsageText();

// Takes PORT as given; the refusal when it names no port.
std::string SetPort(PollOptions& options, const std::string& port);

// The function code a poll sends: the read function, 5, 6, 15 or 16 for a write, the other
// function asked for, or a raw PDU's own.
std::uint8_t RequestFunction(const PollOptions& options);

// Functions 1 to 4 with their writes, the ones a scan, an identification or a detection read.
bool IsTableFunction(std::uint8_t function);

}  // namespace poll
