#include "tests/fuzz/FuzzLine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "protocol/Crc16.h"
#include "protocol/Lrc.h"

namespace {

constexpr std::size_t kRtuFrame = 512;
constexpr std::size_t kAsciiFrame = 1024;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;

// Plan bits: how the scripted line behaves around the answer.
constexpr std::uint8_t kPlanSplit = 0x01;       // the answer arrives in two pieces at the cut
constexpr std::uint8_t kPlanEmptyPoll = 0x02;   // an empty poll between the pieces
constexpr std::uint8_t kPlanFailAfter = 0x04;   // a read behind the answer fails
constexpr std::uint8_t kPlanFailBefore = 0x08;  // the first read fails
constexpr std::uint8_t kPlanWriteFails = 0x10;
constexpr std::uint8_t kPlanNoDrain = 0x20;    // the transmit queue never empties
constexpr std::uint8_t kPlanLengthEnd = 0x40;  // RTU answers end by their length

const RequestCase* g_case = nullptr;
std::uint16_t g_mode = 0;

std::uint8_t HexValue(std::uint8_t digit) {
    if (digit >= '0' && digit <= '9') {
        return static_cast<std::uint8_t>(digit - '0');
    }
    if (digit >= 'A' && digit <= 'F') {
        return static_cast<std::uint8_t>(digit - 'A' + 10);
    }
    return 0;  // lower case and everything else
}

std::uint8_t HexPair(const Bytes& text, std::size_t at) {
    return static_cast<std::uint8_t>(HexValue(text[at]) * 16 + HexValue(text[at + 1]));
}

bool EndsWithCrLf(const Bytes& text, std::size_t count) {
    return count > 5 && text[count - 2] == kCr && text[count - 1] == kLf;
}

bool ScriptLeftHasBytes(const CScriptedPort& port) {
    return std::any_of(port.reads.begin(), port.reads.end(),
                       [](const CScriptedPort::Chunk& c) { return c.fails || c.Left() > 0; });
}

}  // namespace

void FuzzCheck(bool condition, const char* what) {
    if (condition) {
        return;
    }
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    if (g_case != nullptr) {
        std::fprintf(stderr, "mode %u op %u slave %u start %u quantity %u size %u cut %u plan %u\n",
                     g_mode, g_case->op, g_case->slave, g_case->start, g_case->quantity,
                     g_case->arraySize, g_case->cut, g_case->plan);
    }
    std::abort();
}

FuzzLine TheLine(std::uint16_t mode) {
    static CScriptedPort* ports[2] = {};
    static std::unique_ptr<CLocalModbus> masters[2];
    const std::uint16_t m = mode == kFuzzAscii ? 1 : 0;
    if (!masters[m]) {
        auto port = std::make_unique<CScriptedPort>();
        ports[m] = port.get();
        masters[m] = std::make_unique<CLocalModbus>(std::move(port));
        masters[m]->SetMode(m);
        masters[m]->SetTimeout(5);
        FuzzCheck(masters[m]->Open(1, 9600, 0), "the scripted line opens");
    }
    ports[m]->Reset();
    ports[m]->writeOk = true;
    return {ports[m], masters[m].get()};
}

FramingVerdict JudgeRtu(const CScriptedPort& port, std::uint16_t expectedLength) {
    const Bytes& d = port.delivered;
    FuzzCheck(d.size() <= kRtuFrame, "an RTU read stays within its frame");
    if (port.failedReads > 0) {
        return {kModbusReadError, {}};
    }
    if (d.empty()) {
        return {kModbusTimeout, {}};
    }
    const std::uint8_t function = d.size() > 1 ? d[1] : 0;
    if (function > 0x80) {
        if (d.size() < 5 || CCrc16::Compute(d.data(), 3) != (d[3] | d[4] << 8)) {
            return {kModbusCrcError, {}};
        }
        return {static_cast<std::uint16_t>(kModbusException + d[2]), {}};
    }
    if (expectedLength == 0) {
        if (CCrc16::Compute(d.data(), d.size()) != 0) {
            return {kModbusCrcError, {}};
        }
        return {kModbusOk, Bytes(d.begin(), d.end() - std::min<std::size_t>(d.size(), 2))};
    }
    const std::size_t n = expectedLength;
    if (d.size() != n + 2 || CCrc16::Compute(d.data(), n) != (d[n] | d[n + 1] << 8)) {
        return {kModbusCrcError, {}};
    }
    return {kModbusOk, Bytes(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(n))};
}

FramingVerdict JudgeAscii(const CScriptedPort& port, std::uint16_t expectedLength) {
    const Bytes& d = port.delivered;
    const std::size_t count = d.size();
    FuzzCheck(count <= kAsciiFrame, "an ASCII read stays within its buffer");
    // The master reads up to the first CR LF, to the end of what came, or to a full buffer.
    for (std::size_t j = 6; j < count; ++j) {
        FuzzCheck(!EndsWithCrLf(d, j), "an ASCII answer ends at its first CR LF");
    }
    const bool complete = EndsWithCrLf(d, count);
    if (port.failedReads > 0) {
        return {kModbusReadError, {}};
    }
    FuzzCheck(complete || count == kAsciiFrame || !ScriptLeftHasBytes(port),
              "an ASCII read ends at CR LF, a full buffer or silence");
    if (count == kAsciiFrame && !complete) {
        return {kModbusReadError, {}};
    }
    if (count == 0) {
        return {kModbusTimeout, {}};
    }
    if (count < 5) {
        return {kModbusCrcError, {}};
    }
    const std::size_t k = (count - 5) / 2;
    Bytes message(k);
    for (std::size_t i = 0; i < k; ++i) {
        message[i] = HexPair(d, 1 + 2 * i);
    }
    if (ComputeLrc(message.data(), k) != HexPair(d, count - 4)) {
        return {kModbusCrcError, {}};
    }
    if (k >= 2 && message[1] > 0x80) {
        return {
            k >= 3 ? static_cast<std::uint16_t>(kModbusException + message[2]) : kModbusCrcError,
            {}};
    }
    if (expectedLength != 0 && k != expectedLength) {
        return {kModbusCrcError, {}};
    }
    return {kModbusOk, message};
}

RequestCase TakeRequestCase(FuzzInput& input) {
    RequestCase c;
    c.op = static_cast<std::uint8_t>(input.Byte() % 7);
    c.slave = input.Byte();
    c.start = input.Word();
    // Mostly quantities around what a frame carries; one input in 256 tries the top of the
    // range, where the lengths would wrap 16 bits (and the arrays cost most to make).
    const std::uint16_t quantity = input.Word();
    c.quantity = quantity >= 0xFF00 ? quantity : static_cast<std::uint16_t>(quantity % 300);
    c.arraySize = input.Byte();
    c.cut = input.Byte();
    c.plan = input.Byte();
    return c;
}

std::uint8_t FunctionOf(const RequestCase& c) {
    return c.op < 6 ? static_cast<std::uint8_t>(c.op + 1)
                    : static_cast<std::uint8_t>(protocol::kReadHoldingRegisters);
}

std::size_t AnswerLengthOf(const RequestCase& c) {
    switch (FunctionOf(c)) {
        case protocol::kReadCoils:
        case protocol::kReadDiscreteInputs:
            return (static_cast<std::size_t>(c.quantity) + 7) / 8 + 3;
        case protocol::kReadHoldingRegisters:
        case protocol::kReadInputRegisters:
            return c.op == 6 ? 0 : 2 * static_cast<std::size_t>(c.quantity) + 3;
        default:
            return 6;
    }
}

namespace {

void ScriptAnswer(CScriptedPort& port, const Bytes& answer, std::uint8_t cut, std::uint8_t plan) {
    if ((plan & kPlanFailBefore) != 0) {
        port.FailRead();
    }
    const std::size_t at = std::min<std::size_t>(cut, answer.size());
    if ((plan & kPlanSplit) != 0) {
        port.Answer(Bytes(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(at)));
        if ((plan & kPlanEmptyPoll) != 0) {
            port.Answer(Bytes{});
        }
        port.Answer(Bytes(answer.begin() + static_cast<std::ptrdiff_t>(at), answer.end()));
    } else {
        port.Answer(answer);
    }
    if ((plan & kPlanFailAfter) != 0) {
        port.FailRead();
    }
    port.writeOk = (plan & kPlanWriteFails) == 0;
    port.outQueueAfter = (plan & kPlanNoDrain) != 0 ? 1 : 0;
}

// The request as it must appear on the line.
Bytes RequestBytes(const RequestCase& c) {
    std::uint16_t data = c.quantity;
    if (FunctionOf(c) == protocol::kWriteSingleCoil) {
        data = c.quantity == 1 ? 0xFF00 : 0x0000;
    }
    return {c.slave,
            FunctionOf(c),
            static_cast<std::uint8_t>(c.start >> 8),
            static_cast<std::uint8_t>(c.start & 0xFF),
            static_cast<std::uint8_t>(data >> 8),
            static_cast<std::uint8_t>(data & 0xFF)};
}

std::size_t ArraySizeOf(const RequestCase& c) {
    switch (c.arraySize % 4) {
        case 0:
            return c.quantity;
        case 1:
            return c.quantity == 0 ? 0 : c.quantity - 1u;
        case 2:
            return static_cast<std::size_t>(c.quantity) + 3;
        default:
            return c.arraySize / 4;
    }
}

void CheckWire(std::uint16_t mode, const CScriptedPort& port, const Bytes& request) {
    FuzzCheck(port.writes.size() <= 1, "one request per exchange");
    if (port.writes.empty()) {
        return;
    }
    const Bytes expected = mode == kFuzzAscii ? AsciiFramed(request) : WithCrc(request);
    FuzzCheck(port.writes[0] == expected, "the request goes out exactly");
}

std::uint16_t ExpectedCode(std::uint16_t mode, const CScriptedPort& port, std::uint16_t expected,
                           Bytes& message) {
    if (port.writes.empty() || !port.writeOk || port.outQueueAfter != 0) {
        FuzzCheck(port.delivered.empty(), "nothing is read after a failed write");
        return kModbusWriteError;
    }
    FramingVerdict verdict =
        mode == kFuzzAscii ? JudgeAscii(port, expected) : JudgeRtu(port, expected);
    message = std::move(verdict.message);
    return verdict.code;
}

// The master's call for the case's function: bit reads fill states, register reads values.
std::uint16_t CallMaster(CLocalModbus& master, const RequestCase& c, ByteArray& states,
                         WordArray& values) {
    switch (FunctionOf(c)) {
        case protocol::kReadCoils:
            return master.ReadCoils(c.slave, c.start, c.quantity, states);
        case protocol::kReadDiscreteInputs:
            return master.ReadDiscreteInputs(c.slave, c.start, c.quantity, states);
        case protocol::kReadHoldingRegisters:
            return master.ReadHoldingRegisters(c.slave, c.start, c.quantity, values);
        case protocol::kReadInputRegisters:
            return master.ReadInputRegisters(c.slave, c.start, c.quantity, values);
        case protocol::kWriteSingleCoil:
            return master.PresetSingleCoil(c.slave, c.start, c.quantity);
        default:
            return master.PresetSingleRegister(c.slave, c.start, c.quantity);
    }
}

// Slave 0: writes go out and nothing is read; reads are refused before anything is sent.
void RunBroadcast(std::uint16_t mode, const RequestCase& c, CScriptedPort& port,
                  CLocalModbus& master, const Bytes& request, std::size_t arraySize) {
    const std::uint8_t function = FunctionOf(c);
    ByteArray states(arraySize, 0x5A);
    WordArray values(arraySize, 0xA5A5);
    const std::uint16_t code = CallMaster(master, c, states, values);
    FuzzCheck(port.delivered.empty() && port.failedReads == 0, "a broadcast reads nothing");
    if (function <= protocol::kReadInputRegisters) {
        FuzzCheck(code == kModbusBadRequest && port.writes.empty(), "a broadcast read is refused");
        FuzzCheck(states == ByteArray(arraySize, 0x5A), "a refused bit read keeps the states");
        FuzzCheck(values == WordArray(arraySize, 0) || function <= protocol::kReadDiscreteInputs,
                  "a refused register read gives zeros");
        return;
    }
    const bool written = port.writeOk && port.outQueueAfter == 0;
    FuzzCheck(code == (written ? kModbusOk : kModbusWriteError), "broadcast write code");
    CheckWire(mode, port, request);
}

// The case FuzzCheck names while it runs, whichever way it returns.
class CCaseReported {
public:
    CCaseReported(std::uint16_t mode, const RequestCase& c) {
        g_case = &c;
        g_mode = mode;
    }
    ~CCaseReported() { g_case = nullptr; }
    CCaseReported(const CCaseReported&) = delete;
    CCaseReported& operator=(const CCaseReported&) = delete;
};

}  // namespace

void RunCheckedRequest(std::uint16_t mode, const RequestCase& c, const Bytes& answer) {
    const CCaseReported reported(mode, c);
    FuzzLine line = TheLine(mode);
    CScriptedPort& port = *line.port;
    CLocalModbus& master = *line.master;
    ScriptAnswer(port, answer, c.cut, c.plan);
    master.SetAnswerEnd((c.plan & kPlanLengthEnd) != 0 ? AnswerEnd::Length : AnswerEnd::Silence);
    master.SetBroadcast(true);
    const Bytes request = RequestBytes(c);
    const std::uint8_t function = FunctionOf(c);
    const std::size_t answerLength = AnswerLengthOf(c);
    const auto expectedLength =
        static_cast<std::uint16_t>(std::min<std::size_t>(answerLength, 0xFFFF));
    const std::size_t arraySize = ArraySizeOf(c);
    Bytes message;

    if (c.slave == protocol::kBroadcastAddress && c.op < 6) {
        RunBroadcast(mode, c, port, master, request, arraySize);
        return;
    }
    if (c.op == 6) {
        ByteArray sent = request;
        ByteArray response(arraySize, 0xA5);
        std::uint16_t received = 0xEEEE;
        const std::uint16_t code = master.Transact(sent, 6, response, 0, &received);
        CheckWire(mode, port, request);
        FuzzCheck(code == ExpectedCode(mode, port, 0, message), "open-length exchange code");
        if (code == kModbusOk) {
            FuzzCheck(received == message.size(), "open length: the received count");
            FuzzCheck(response.size() >= message.size(), "open length: the answer fits");
            FuzzCheck(std::equal(message.begin(), message.end(), response.begin()),
                      "open length: the answer bytes");
        } else {
            FuzzCheck(received == 0xEEEE, "a failed exchange reports no count");
        }
        return;
    }

    ByteArray states(arraySize, 0x5A);
    WordArray values(arraySize, 0xA5A5);
    const std::uint16_t code = CallMaster(master, c, states, values);
    std::uint16_t expected = ExpectedCode(mode, port, expectedLength, message);
    // A write's answer echoes its request; a read's must name the slave and the function.
    if (expected == kModbusOk && (function > protocol::kReadInputRegisters
                                      ? message != request
                                      : message[0] != c.slave || message[1] != function)) {
        expected = kModbusInvalidResponse;
    }
    FuzzCheck(code == expected, "exchange code");
    if (function == protocol::kReadCoils || function == protocol::kReadDiscreteInputs) {
        if (code != kModbusOk) {
            FuzzCheck(states == ByteArray(arraySize, 0x5A), "a failed bit read keeps the states");
        } else {
            FuzzCheck(states.size() == std::max<std::size_t>(arraySize, c.quantity),
                      "bit read: the states array size");
            for (std::size_t j = 0; j < states.size(); ++j) {
                const std::uint8_t want = j < c.quantity ? (message[3 + j / 8] >> (j % 8)) & 1
                                                         : (j < arraySize ? 0x5A : 0);
                FuzzCheck(states[j] == want, "bit read: each state");
            }
        }
    } else if (function == protocol::kReadHoldingRegisters ||
               function == protocol::kReadInputRegisters) {
        if (code != kModbusOk) {
            FuzzCheck(values == WordArray(arraySize, 0), "a failed register read gives zeros");
        } else {
            FuzzCheck(values.size() == std::max<std::size_t>(arraySize, c.quantity),
                      "register read: the values array size");
            for (std::size_t i = 0; i < values.size(); ++i) {
                const std::uint16_t want =
                    i < c.quantity
                        ? static_cast<std::uint16_t>(message[3 + 2 * i] << 8 | message[4 + 2 * i])
                        : 0;
                FuzzCheck(values[i] == want, "register read: each value");
            }
        }
    }
    CheckWire(mode, port, request);
}
