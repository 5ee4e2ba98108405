#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/slave/DeviceIdentity.h"
#include "tools/slave/FaultPlan.h"
#include "tools/slave/RoleTable.h"

namespace slave {

enum class Framing { Rtu, Ascii };
enum class Parity { None, Odd, Even };
// A serial line (a pseudo-terminal or a device), MBAP over the network, or a line's own frames
// in a TCP stream, as a serial device server carries them, or MBAP inside TLS (Modbus/TCP
// Security).
enum class Transport { Line, Tcp, Udp, RtuTcp, Tls };

// One network port the simulator serves.
struct NetPort {
    Transport transport = Transport::Tcp;
    int port = 0;  // 0 picks a free port
};

struct SlaveOptions {
    Framing mode = Framing::Rtu;
    // Every address the slave answers, 1..255, each once; the first answers unit 0 and 255
    // over TCP and UDP.
    std::vector<int> ids{1};
    long baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    int stopBits = 1;
    int size = 10000;  // entries in each of the four tables, 1..65536
    // Function 24's queue: its registers (0..31) and the FIFO pointer address that reads it.
    int fifoSize = 8;
    int fifoAddress = 0;
    // Functions 20 and 21: files 1..files, each of records registers.
    int files = 4;
    int records = 10000;
    bool silent = false;
    int delayMs = 0;
    int corruptEvery = 0;  // 0: never; N: every Nth answer carries a bad check
    bool wrongId = false;
    CFaultPlan faultPlan;      // with a plan, delayMs holds back only its late answers
    std::vector<int> refused;  // functions answered with exception 1, as if not there
    bool echo = false;         // the line hands each request back before the answer
    int burstMs = 0;           // 0: none; N: the master gets bytes only every N ms
    bool pace = false;         // bytes take one character time each at the bit rate
    // A pseudo-terminal's master at another bit rate or stop bits is answered all the same.
    bool anySettings = false;
    bool log = false;
    std::string device;  // empty: a new pseudo-terminal
    std::string link;    // empty: no symlink
    std::string tap;     // empty: no tap; else the symlink to the tap's terminal side
    // The pseudo-terminal or --device is served when no port is named, or when it is asked
    // for beside them.
    bool line = true;
    std::vector<NetPort> ports;  // each kind at most once
    // Loopback only unless asked: whoever reaches the port can write registers.
    std::string bindAddress = "127.0.0.1";
    DeviceIdentity identity;  // --vendor, --product, --revision
    std::string config;       // the simulator file, empty: the units come from the options
    std::string control;      // the control socket's path, empty: none
    int idleTimeoutS = 60;    // a TCP client that sends nothing for so long is closed
    // --tls: this device's certificate chain and key, and the CA its clients' certificates
    // must be signed by.
    std::string tlsCert;
    std::string tlsKey;
    std::string tlsCa;
    // What each role may do over --tls; without a table every client with a good certificate
    // may do anything. Only a simulator file sets it.
    std::optional<CRoleTable> roles;
};

struct ParseResult {
    enum class Action { Run, Help, Error, Send };
    Action action = Action::Run;
    SlaveOptions options;
    std::string error;  // for Action::Error, one line without the program name
    // Action::Send: a command for the control socket at sendPath of a running simulator.
    std::string sendPath;
    std::string sendCommand;
};

// args excludes the program name. Accepts "--name value" and "--name=value". The options start
// from base: what a simulator file set, which the command line overrides.
ParseResult ParseSlaveOptions(const std::vector<std::string>& args, const SlaveOptions& base = {});

// The port of a kind the options serve, none when they do not.
const NetPort* FindPort(const SlaveOptions& options, Transport transport);

// "TCP", "UDP", "RTU over TCP", "TLS" as the banner names them (ASCII over TCP in ASCII mode).
std::string TransportText(const SlaveOptions& options, Transport transport);

std::string SlaveUsageText();

// "9600 8N1", "19200 7E2".
std::string LineText(const SlaveOptions& options);

// Bits on the line per character: start + data + parity + stop.
int CharacterBits(const SlaveOptions& options);

// One character on the line at the options' bit rate.
std::chrono::nanoseconds CharacterTime(const SlaveOptions& options);

// The silence that ends an RTU request: 3.5 characters, never below 1.75 ms (the fixed value
// devices use above 19200 bit/s, where the computed time gets too short to measure reliably).
std::chrono::microseconds RtuSilence(const SlaveOptions& options);

// The address the slave puts into its answers to a request for `asked` (another one under
// --wrong-id, or when this answer's planned fault asks for it).
int AnswerAddress(const SlaveOptions& options, int asked, bool wrongId);

// "3", or "3,17,200" for a list, as the banner shows it.
std::string IdsText(const SlaveOptions& options);

}  // namespace slave
