#include "tools/slave/SlaveOptions.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"

namespace slave {

namespace {

// Each file is held whole in memory: 64 of the longest are 1.3 MB.
constexpr long kMaxFiles = 64;
constexpr long kMaxRecords = protocol::kLastFileRecord + 1;
// A code with the exception flag set is an answer's, never a function's.
constexpr long kLastFunctionCode = protocol::kExceptionFlag - 1;

std::optional<long> ParseNumber(std::string_view text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// "3,17,200" or "5-7,9", each from 1 to most: the numbers in the order given, repeats dropped.
std::optional<std::vector<int>> ParseList(std::string_view text, long most) {
    std::vector<int> ids;
    bool seen[256] = {};
    while (true) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const auto dash = item.find('-');
        const auto low = ParseNumber(item.substr(0, dash), 1, most);
        const auto high =
            dash == std::string_view::npos ? low : ParseNumber(item.substr(dash + 1), 1, most);
        if (!low || !high || *low > *high) {
            return std::nullopt;
        }
        for (auto id = *low; id <= *high; ++id) {
            if (!seen[id]) {
                seen[id] = true;
                ids.push_back(static_cast<int>(id));
            }
        }
        if (comma == std::string_view::npos) {
            return ids;
        }
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

ParseResult ParseSlaveOptions(const std::vector<std::string>& args, const SlaveOptions& base) {
    ParseResult result;
    result.options = base;
    SlaveOptions& o = result.options;
    bool lineAsked = false;
    bool portGiven = false;
    auto fail = [&result](std::string message) {
        result.action = ParseResult::Action::Error;
        result.error = std::move(message);
        return result;
    };

    bool bindGiven = false;
    std::string tlsFileGiven;
    std::vector<Transport> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        // Fetches the option's value, from "=value" or from the next argument.
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        auto flag = [&](bool& target) {
            if (inlineValue) {
                return false;
            }
            target = true;
            return true;
        };
        auto number = [&](long low, long high, long& target) {
            const auto text = value();
            if (!text) {
                return false;
            }
            const auto n = ParseNumber(*text, low, high);
            if (!n) {
                return false;
            }
            target = *n;
            return true;
        };
        auto bad = [&](const std::string& expected) {
            return fail("bad or missing value for " + name + " (expected " + expected + ")");
        };

        long n = 0;
        if (name == "--help" || name == "-h") {
            result.action = ParseResult::Action::Help;
            return result;
        } else if (name == "--mode") {
            const auto v = value();
            if (v == "rtu") {
                o.mode = Framing::Rtu;
            } else if (v == "ascii") {
                o.mode = Framing::Ascii;
            } else {
                return bad("rtu or ascii");
            }
        } else if (name == "--id") {
            const auto v = value();
            auto ids = v ? ParseList(*v, 255) : std::nullopt;
            if (!ids) {
                return bad("addresses 1 to 255, as 3 or 3,17,200 or 5-7");
            }
            o.ids = std::move(*ids);
        } else if (name == "--refuse") {
            const auto v = value();
            auto functions = v ? ParseList(*v, kLastFunctionCode) : std::nullopt;
            if (!functions) {
                return bad("function codes 1 to 127, as 43 or 17,43");
            }
            o.refused = std::move(*functions);
        } else if (name == "--baud") {
            if (!number(1, 4000000, n)) {
                return bad("1 to 4000000");
            }
            o.baud = n;
        } else if (name == "--parity") {
            const auto v = value();
            if (v == "none") {
                o.parity = Parity::None;
            } else if (v == "odd") {
                o.parity = Parity::Odd;
            } else if (v == "even") {
                o.parity = Parity::Even;
            } else {
                return bad("none, odd or even");
            }
        } else if (name == "--data-bits") {
            if (!number(7, 8, n)) {
                return bad("7 or 8");
            }
            o.dataBits = static_cast<int>(n);
        } else if (name == "--stop-bits") {
            if (!number(1, 2, n)) {
                return bad("1 or 2");
            }
            o.stopBits = static_cast<int>(n);
        } else if (name == "--size") {
            if (!number(1, 65536, n)) {
                return bad("1 to 65536");
            }
            o.size = static_cast<int>(n);
        } else if (name == "--fifo-size") {
            if (!number(0, protocol::kMaxFifoCount, n)) {
                return bad("0 to " + std::to_string(protocol::kMaxFifoCount));
            }
            o.fifoSize = static_cast<int>(n);
        } else if (name == "--fifo-address") {
            if (!number(0, 65535, n)) {
                return bad("0 to 65535");
            }
            o.fifoAddress = static_cast<int>(n);
        } else if (name == "--files") {
            if (!number(0, kMaxFiles, n)) {
                return bad("0 to " + std::to_string(kMaxFiles));
            }
            o.files = static_cast<int>(n);
        } else if (name == "--records") {
            if (!number(1, kMaxRecords, n)) {
                return bad("1 to " + std::to_string(kMaxRecords));
            }
            o.records = static_cast<int>(n);
        } else if (name == "--delay") {
            if (!number(0, 600000, n)) {
                return bad("0 to 600000 ms");
            }
            o.delayMs = static_cast<int>(n);
        } else if (name == "--corrupt") {
            if (!number(1, 1000000, n)) {
                return bad("1 to 1000000");
            }
            o.corruptEvery = static_cast<int>(n);
        } else if (name == "--fault-plan") {
            const auto v = value();
            std::optional<CFaultPlan> plan = v ? CFaultPlan::Parse(*v) : std::nullopt;
            if (!plan || plan->Empty()) {
                return bad("letters . c s d w");
            }
            o.faultPlan = std::move(*plan);
        } else if (name == "--device" || name == "--link" || name == "--tap") {
            const auto v = value();
            if (!v || v->empty()) {
                return bad("a path");
            }
            (name == "--device" ? o.device : name == "--link" ? o.link : o.tap) = *v;
            lineAsked = true;
        } else if (name == "--pty") {
            bool on = false;
            if (!flag(on)) {
                return fail("--pty takes no value");
            }
            lineAsked = true;
        } else if (name == "--tcp" || name == "--udp" || name == "--rtu-tcp" || name == "--tls") {
            const Transport kind = name == "--tcp"   ? Transport::Tcp
                                   : name == "--udp" ? Transport::Udp
                                   : name == "--tls" ? Transport::Tls
                                                     : Transport::RtuTcp;
            if (std::find(given.begin(), given.end(), kind) != given.end()) {
                return fail("give " + name + " once");
            }
            if (!number(0, 65535, n)) {
                return bad("a port 0 to 65535");
            }
            given.push_back(kind);
            // The command line's port of a kind replaces the file's.
            std::erase_if(o.ports, [kind](const NetPort& p) { return p.transport == kind; });
            o.ports.push_back({kind, static_cast<int>(n)});
            portGiven = true;
        } else if (name == "--cert" || name == "--key" || name == "--ca") {
            const auto v = value();
            if (!v || v->empty()) {
                return bad("a file");
            }
            (name == "--cert" ? o.tlsCert : name == "--key" ? o.tlsKey : o.tlsCa) = *v;
            tlsFileGiven = name;
        } else if (name == "--config" || name == "--control") {
            const auto v = value();
            if (!v || v->empty()) {
                return bad("a path");
            }
            (name == "--config" ? o.config : o.control) = *v;
        } else if (name == "--send") {
            const auto v = value();
            if (!v || v->empty() || i + 1 >= args.size()) {
                return fail("--send needs the control socket's path and a command");
            }
            result.action = ParseResult::Action::Send;
            result.sendPath = *v;
            for (++i; i < args.size(); ++i) {
                result.sendCommand += (result.sendCommand.empty() ? "" : " ") + args[i];
            }
            return result;
        } else if (name == "--idle-timeout") {
            if (!number(1, 86400, n)) {
                return bad("1 to 86400 seconds");
            }
            o.idleTimeoutS = static_cast<int>(n);
        } else if (name == "--vendor" || name == "--product" || name == "--revision") {
            const auto v = value();
            if (!v || !IsIdentityText(*v)) {
                return bad("1 to 244 printable ASCII characters");
            }
            (name == "--vendor"    ? o.identity.vendor
             : name == "--product" ? o.identity.product
                                   : o.identity.revision) = *v;
        } else if (name == "--bind") {
            const auto v = value();
            if (!v || v->empty()) {
                return bad("an address");
            }
            o.bindAddress = *v;
            bindGiven = true;
        } else if (name == "--silent") {
            if (!flag(o.silent)) {
                return fail("--silent takes no value");
            }
        } else if (name == "--wrong-id") {
            if (!flag(o.wrongId)) {
                return fail("--wrong-id takes no value");
            }
        } else if (name == "--burst") {
            if (!number(1, 1000, n)) {
                return bad("1 to 1000 ms");
            }
            o.burstMs = static_cast<int>(n);
        } else if (name == "--echo") {
            if (!flag(o.echo)) {
                return fail("--echo takes no value");
            }
        } else if (name == "--pace") {
            if (!flag(o.pace)) {
                return fail("--pace takes no value");
            }
        } else if (name == "--any-settings") {
            if (!flag(o.anySettings)) {
                return fail("--any-settings takes no value");
            }
        } else if (name == "--log") {
            if (!flag(o.log)) {
                return fail("--log takes no value");
            }
        } else {
            return fail("unknown option " + args[i]);
        }
    }
    // A port alone serves only itself, as it always has; beside a file's ports the file says
    // whether the line is served too.
    if (lineAsked) {
        o.line = true;
    } else if (portGiven && base.ports.empty()) {
        o.line = false;
    }
    if (o.ports.empty()) {
        o.line = true;
    }
    if (bindGiven && o.ports.empty()) {
        return fail("--bind needs --tcp, --udp, --rtu-tcp or --tls");
    }
    if (FindPort(o, Transport::Tls) != nullptr) {
        const char* missing = o.tlsCert.empty()  ? "--cert"
                              : o.tlsKey.empty() ? "--key"
                              : o.tlsCa.empty()  ? "--ca"
                                                 : nullptr;
        if (missing != nullptr) {
            return fail(std::string("--tls needs ") + missing +
                        " FILE (the device's certificate, its key and the clients' CA)");
        }
    } else if (!tlsFileGiven.empty()) {
        return fail(tlsFileGiven + " needs --tls");
    }
    if (!o.tap.empty() && o.tap == o.link) {
        return fail("--tap and --link name the same path");
    }
    if (!o.line) {
        const char* clash = o.echo          ? "--echo"
                            : o.burstMs > 0 ? "--burst"
                            : o.pace        ? "--pace"
                                            : nullptr;
        if (clash != nullptr) {
            return fail(std::string(clash) + " needs the line: add --pty or --device");
        }
    }
    return result;
}

const NetPort* FindPort(const SlaveOptions& options, Transport transport) {
    const auto it =
        std::find_if(options.ports.begin(), options.ports.end(),
                     [transport](const NetPort& p) { return p.transport == transport; });
    return it == options.ports.end() ? nullptr : &*it;
}

std::string TransportText(const SlaveOptions& options, Transport transport) {
    switch (transport) {
        case Transport::Line:
            return options.mode == Framing::Rtu ? "RTU" : "ASCII";
        case Transport::Tcp:
            return "TCP";
        case Transport::Udp:
            return "UDP";
        case Transport::RtuTcp:
            return options.mode == Framing::Rtu ? "RTU over TCP" : "ASCII over TCP";
        case Transport::Tls:
            return "TLS";
    }
    return {};
}

std::string SlaveUsageText() {
    return R"(Usage: vornak-slave [options]

A Modbus device simulator: RTU/ASCII on a line, TCP, UDP, RTU over TCP and TLS at once. Without --device it opens a pseudo-terminal and prints
the path the master opens as the first line of standard output, e.g.
  vornak-slave: listening on /dev/pts/5 (RTU, id 1, 9600 8N1)
With --tcp or --udp it is a Modbus TCP or UDP device instead, and the first line gives the
address and port it listens on:
  vornak-slave: listening on 127.0.0.1:5020 (TCP, id 1)
SIGINT and SIGTERM end it cleanly (exit 0). Bad options exit with 2; a line that cannot be
opened, or a device that goes away, with 1.

Options:
  --mode rtu|ascii      transmission mode (default rtu)
  --id LIST             slave addresses 1..255 (default 1): one, a list such as 3,17,200,
                        or ranges such as 5-7; every listed address answers, all from one
                        shared set of registers and coils, as several devices on one line
  --baud N              bit rate, 1..4000000 (default 9600)
  --parity none|odd|even  parity (default none)
  --data-bits 7|8       data bits (default 8)
  --stop-bits 1|2       stop bits (default 1)
                        The line settings are applied with termios. They set the RTU
                        end-of-frame silence: 3.5 characters of 1 start + data + parity +
                        stop bits, at least 1.75 ms. On a pseudo-terminal the slave reads
                        the bit rate and stop bits its master has set at each request, and
                        does not answer a rate more than 2 % off or other stop bits, as a
                        real slave hears garbage; parity and data bits cannot be seen
                        there: the pseudo-terminal forces 8 bits without parity.
  --any-settings        answer a pseudo-terminal's master at any bit rate and stop bits
  --size N              entries in each table, 1..65536 (default 10000)
  --fifo-size N         registers in the FIFO queue of function 24, 0..31 (default 8)
  --fifo-address A      the FIFO pointer address that reads it, 0..65535 (default 0)
  --files N             files for functions 20 and 21, 0..64 (default 4)
  --records M           records (registers) in each file, 1..10000 (default 10000)
  --device PATH         serve a real serial device instead of a pseudo-terminal
  --link PATH           make PATH a symlink to the line, removed at exit
  --tap PATH            make PATH a symlink to a second pseudo-terminal that hears the line
                        as a listen-only adapter on its wires would: the master's requests
                        and the answers, in the order they cross the line (with --pace at
                        their wire times, before any --burst; an --echo is not heard). The
                        tap never holds the slave back: up to 64 KB wait for its reader,
                        more is dropped; --log says so once, HH:MM:SS.mmm tap (full),
                        and gives the count at exit. The first line names the tap.
  --silent              never answer (requests are still logged)
  --delay MS            answer MS (0..600000) milliseconds after the request
  --corrupt N           every Nth answer carries a bad CRC (RTU) or LRC (ASCII), or over
                        TCP and UDP a wrong transaction id (every bit inverted)
  --wrong-id            answer with another slave address (id + 1, 255 -> 1); over TCP and
                        UDP another unit id (unit + 1, 255 -> 1)
  --refuse LIST         functions (1..127, as 43 or 17,43) answered with exception 1,
                        illegal function, as by a device without them: --refuse 43 sends a
                        master from read device identification back to report slave id
  --fault-plan PLAN     a fault for each answered request in turn, one letter each:
                        . none, c bad check, s silent, d late by --delay MS, w wrong id;
                        past its end every answer is good. With a plan, --delay holds back
                        only the answers marked d. Example: --fault-plan ..c.s..dw --delay 80
  --echo                the line echoes: every byte the master sends comes back to it
                        before the answer, as on a 2-wire bus whose adapter hears itself
  --burst MS            the master receives in chunks every MS (1..1000) ms, like a USB
                        adapter's latency timer (16 ms by default on FTDI chips)
  --pace                bytes take one character time each at --baud, both ways: a request
                        is taken as arrived once its wire time has passed, and answers
                        leave one character at a time
  --tcp PORT            serve Modbus TCP on PORT (0 picks a free one)
  --udp PORT            serve Modbus UDP on PORT (0 picks a free one), one ADU a datagram
  --rtu-tcp PORT        serve the line's RTU (or ASCII) frames over TCP, as a serial device
                        server carries them; ports alone are served instead of the line,
                        all at once with --pty, --device, --link or --tap
  --tls PORT            serve Modbus/TCP Security on PORT (0 picks a free one): Modbus TCP
                        inside TLS 1.2 or 1.3, every client showing a certificate signed by
                        --ca; needs --cert, --key and --ca
  --cert FILE           the device's certificate for --tls (PEM, intermediate CAs after it)
  --key FILE            its private key (PEM, without a password); a key file its group or
                        others can read is warned of on standard error
  --ca FILE             the CA certificates (PEM) that sign the clients' certificates
  --pty                 serve the pseudo-terminal beside the ports
  --idle-timeout S      close a TCP or TLS client silent for S seconds (default 60); with all
                        32 places taken a new client replaces the one idle longest
  --config FILE         serve the units of a simulator file, each from its device profile
                        (TOML, or a CSV register list); the command line overrides the file
  --control PATH        take commands on a Unix socket (mode 0600) while running
  --send PATH COMMAND   send one command to a running simulator's control socket and print
                        the answer; "help" lists the commands
  --bind ADDR           the address to listen on (default 127.0.0.1, this machine only:
                        whoever reaches the port can write registers); 0.0.0.0 or :: for
                        every interface
  --vendor TEXT         the vendor name a master reads (default Quorvix)
  --product TEXT        the product code (default vornak-slave), also the text that
                        follows the run indicator in the answer to function 17
  --revision TEXT       the revision (default the version of this program)
                        Each text is 1 to 244 printable ASCII characters.
  --log                 log every request and answer on standard output
  --help                this text

Data:
  It serves functions 1 to 8, 11, 12, 15 to 17, 20 to 24 and 43/14. Holding registers
  (function 3, written by 6, 16, 22 and 23) and coils (function 1, written by 5 and 15)
  start at 0; input register i (function 4) reads (t + i) & 0xFFFF, t being the tenths of
  a second since the start, so it counts up by 10 a second; discrete input i (function 2)
  is on while (s + i) is odd, s being the whole seconds since the start. Function 23
  writes before it reads.
  A request its function's rules forbid (a quantity of 0 or above 125 registers or 2000
  bits, a byte count that does not match, a request of the wrong length, function 5 with
  other than FF00 or 0000, an unknown sub-function) gives exception 3; an address range
  past --size exception 2.
  Function 7 (read exception status) answers coils 0 to 7 as its eight outputs, coil 0
  the lowest bit.
  Function 24 (read FIFO queue) reads the queue at --fifo-address: --fifo-size registers
  F000, F001, ... oldest first; reading does not empty it; another address gives
  exception 2.
  Functions 20 and 21 (read and write file record) reach files 1 to --files, of --records
  registers each, record 0 first. Record r of file f starts as f * 256 + (r & 0xFF): high
  byte the file, low byte the record's low byte (file 4, record 1: 0401); what function
  21 writes stays. File 0, a file past --files or records past --records give
  exception 2.
  Functions 8 (diagnostics), 11 (get comm event counter) and 12 (get comm event log) keep
  the counters, the event log and listen-only mode of a serial device: sub-functions 0, 1,
  2, 4, 10 to 18 and 20. Every frame with a good check counts as a bus message, whatever
  its address; one with a bad CRC or LRC, too short for a check, not hex, or at line
  settings other than its own (see --baud) as a check error; one longer than Modbus
  allows as a character overrun. After sub-function 4 (force listen only) the device
  answers nothing until sub-function 1 (restart communications).
  Function 17 (report slave id) answers the byte count, the address asked, run indicator
  FF, then the --product text. Function 43 with MEI type 14 (read device identification)
  has the basic objects 0 (--vendor), 1 (--product) and 2 (--revision), conformity level
  81: read device id codes 1 to 3 stream them from the object asked (from 0 when it does
  not exist), code 4 reads one (exception 2 for another object), any other code gives
  exception 3 and another MEI type exception 1. An answer past 253 bytes stops before the
  object that does not fit, with more follows FF and that object's id as the next. Any
  other function, and any under --refuse, gives exception 1. Requests for another address
  are ignored; address 0 (broadcast) executes writes without answering.

Device profiles, simulator files and the control commands: see vornak-slave(1).

Modbus TCP and UDP (--tcp, --udp):
  Each request is an MBAP ADU: transaction id, protocol id 0, length (unit id and PDU,
  2..254), unit id, PDU; no check. The answer carries the request's transaction and unit id.
  Without a gateway the unit id names nothing: the simulator answers every --id and also 0
  and 255, the values masters use for the device itself (answered as the first --id), and
  ignores any other unit. Over TCP up to
  32 clients are served at once, each with its own stream (one more replaces the idlest); a
  header with another protocol id or a length out of range closes that connection, and so
  does a request that has not arrived whole 2 s after its first byte. Over UDP a datagram
  must hold exactly one ADU, else it is dropped; the answer goes to the sender. --silent,
  --delay, --corrupt, --wrong-id and --fault-plan apply as on a line.

Modbus/TCP Security (--tls):
  The same ADUs as over TCP, inside TLS 1.2 or 1.3; older versions and anything that is not
  TLS are refused. Every client must show a certificate signed by --ca, and must finish its
  handshake within 5 s of connecting; a client slow in it holds up no other. Its role is
  the text of the certificate's extension 1.3.6.1.4.1.50316.802.1 (a UTF8String). The
  [roles] table of a simulator file says what each role may do:
    [roles]
    default = "viewer"                # the role of a certificate without one
    [roles.viewer]
    functions = [1, 2, 3, 4]
    [roles.engineer]
    functions = [1, 2, 3, 4, 5, 6, 15, 16, 22, 23]
    addresses = ["0-999"]             # every address a request names must be in one
    exception = 1                     # the answer to a refused request (default 1)
  Without [roles] every client may do anything. With it, a certificate without a role and
  no default, a role the table does not name, or an extension that is not one UTF8String
  may do nothing. A refused request gets the exception and, whether or not --log is on,
  a line on standard output:
    vornak-slave: refused: CN=op1,O=Plant role operator function 6 address 10 (exception 1)
  Certificate, key or CA files that do not load, or a key that does not match the
  certificate, exit with 2 and the reason.

Log (--log), one line per frame, flushed at once:
  HH:MM:SS.mmm rx|tx <hex bytes>[ (note)][ "<ascii text>"]
  The hex bytes are the whole frame with its check: in RTU the bytes on the wire with the
  CRC low byte first, in ASCII the decoded bytes with the LRC. ASCII lines end with the
  frame text without ":" and CR LF, in double quotes (non-printing characters as \xNN);
  an ASCII frame that is not hex has no bytes. A note on an rx line says why the request
  got no answer: (bad crc), (bad lrc), (bad hex), (short), (overrun) for a frame longer
  than Modbus allows, (other id), (broadcast), (listen only) for a request heard from
  function 8 sub-function 4 on until 8/1, (silent), (line settings differ: master at
  19200 bit/s, 2 stop bits); an rx line without a note was answered. On a tx
  line the note names the fault applied, (corrupt), or (not sent) when
  nobody read the line and the answer was dropped. Over TCP and UDP the bytes are the whole
  ADU, header included; an rx note may also be (bad header), or (incomplete) for a request
  cut off by its client or by the 2 s bound, and (not sent) names an answer whose client
  had gone. Over TLS an rx line without bytes gives each client's version, certificate
  subject and role as its handshake ends, or why it was refused (TLS refused: ...); a
  request its role may not send has the note (refused).
  Examples:
    12:34:56.789 rx 01 03 00 00 00 01 84 0A
    12:34:56.794 tx 01 03 02 00 00 B8 44
    12:34:57.001 rx 01 06 00 05 12 34 AE "010600051234AE"
    12:34:57.003 tx 01 06 00 05 12 34 AE "010600051234AE"
    12:34:58.120 rx 01 03 00 00 00 01 84 0B (bad crc)
)";
}

std::string LineText(const SlaveOptions& options) {
    const char parity = options.parity == Parity::None  ? 'N'
                        : options.parity == Parity::Odd ? 'O'
                                                        : 'E';
    return std::to_string(options.baud) + " " + std::to_string(options.dataBits) + parity +
           std::to_string(options.stopBits);
}

int CharacterBits(const SlaveOptions& options) {
    return 1 + options.dataBits + (options.parity == Parity::None ? 0 : 1) + options.stopBits;
}

std::chrono::nanoseconds CharacterTime(const SlaveOptions& options) {
    return std::chrono::nanoseconds(1000000000LL * CharacterBits(options) / options.baud);
}

std::chrono::microseconds RtuSilence(const SlaveOptions& options) {
    const long long micros = 3500000LL * CharacterBits(options) / options.baud;
    return std::chrono::microseconds(micros < 1750 ? 1750 : micros);
}

int AnswerAddress(const SlaveOptions& options, int asked, bool wrongId) {
    return options.wrongId || wrongId ? asked % 255 + 1 : asked;
}

std::string IdsText(const SlaveOptions& options) {
    std::string text;
    for (const int id : options.ids) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(id);
    }
    return text;
}

}  // namespace slave
