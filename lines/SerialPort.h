#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

// Line settings record. Field names follow the Win32 DCB that the master fills field by field,
// so the code that fills it reads like the description of the line.
struct SerialDcb {
    std::uint32_t DCBlength = 0;
    std::uint32_t BaudRate = 0;
    std::uint32_t fBinary = 0;
    std::uint32_t fParity = 0;
    std::uint32_t fOutxCtsFlow = 0;
    std::uint32_t fOutxDsrFlow = 0;
    std::uint32_t fDtrControl = 0;  // kDtrControl*
    std::uint32_t fRtsControl = 0;  // kRtsControl*
    std::uint32_t fOutX = 0;
    std::uint32_t fInX = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;    // kParity*
    std::uint8_t StopBits = 0;  // kStopBits*
    char XonChar = 0;
    char XoffChar = 0;
};

constexpr std::uint32_t kDtrControlDisable = 0;
constexpr std::uint32_t kDtrControlEnable = 1;
constexpr std::uint32_t kDtrControlHandshake = 2;
constexpr std::uint32_t kRtsControlDisable = 0;
constexpr std::uint32_t kRtsControlEnable = 1;
constexpr std::uint32_t kRtsControlHandshake = 2;

constexpr std::uint8_t kParityNone = 0;
constexpr std::uint8_t kParityOdd = 1;
constexpr std::uint8_t kParityEven = 2;

constexpr std::uint8_t kStopBitsOne = 0;
constexpr std::uint8_t kStopBitsOneHalf = 1;
constexpr std::uint8_t kStopBitsTwo = 2;

// Flow-control flags as the master and the settings keep them (one byte).
constexpr std::uint8_t kFlowDtrDsr = 0x01;
constexpr std::uint8_t kFlowRtsCts = 0x02;
constexpr std::uint8_t kFlowXonXoff = 0x04;

// Read and write time-outs with the Win32 meaning: the interval bounds the silence between two
// bytes once the first byte has come (0: no interval bound); the total bound of a read is
// multiplier x bytes asked + constant (both 0: no total bound). An interval of kReadAtOnce with
// both totals 0 makes a read return at once with whatever has arrived; with a total bound it
// returns as soon as anything has arrived, waiting up to the total for it (a multiplier of
// 0xFFFFFFFF then counts as 0, so the constant alone bounds the wait).
struct SerialTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

constexpr std::uint32_t kReadAtOnce = 0xFFFFFFFF;

// Purge flags; the master passes all four.
constexpr std::uint32_t kPurgeTxAbort = 0x01;
constexpr std::uint32_t kPurgeRxAbort = 0x02;
constexpr std::uint32_t kPurgeTxClear = 0x04;
constexpr std::uint32_t kPurgeRxClear = 0x08;
constexpr std::uint32_t kPurgeAll = 0x0F;

// Error flags reported by ClearError.
constexpr std::uint32_t kCommErrorFrame = 0x0008;
constexpr std::uint32_t kCommErrorOverrun = 0x0002;
constexpr std::uint32_t kCommErrorParity = 0x0004;
constexpr std::uint32_t kCommErrorDevice = 0x8000;  // the device failed or went away

// RS-485 direction control: the level RTS takes while sending and the pauses around a frame.
struct Rs485Settings {
    bool rtsHighWhileSending = true;
    std::uint32_t delayBeforeMs = 0;
    std::uint32_t delayAfterMs = 0;
};

// How the frames on a line are cut: the serial framings (RTU, ASCII, chosen by the master), or
// the MBAP header of Modbus TCP and UDP, which the line's own kind decides.
enum class LineFraming { Serial, Mbap };

struct SerialStatus {
    std::uint32_t cbInQue = 0;   // bytes waiting in the receive queue
    std::uint32_t cbOutQue = 0;  // bytes not yet sent from the transmit queue
};

// The serial port operations the Modbus master needs. The master owns one port object for its
// whole life and opens and closes it as the line settings require.
class CSerialPort {
public:
    virtual ~CSerialPort() = default;

    // Opens an existing device for exclusive reading and writing. On failure the port stays
    // closed and LastError() gives the errno.
    virtual bool Open(const std::string& device) = 0;
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) = 0;
    virtual bool SetLine(const SerialDcb& dcb) = 0;
    virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
    virtual bool Purge(std::uint32_t flags) = 0;

    // Synchronous transfers bounded by the time-outs. A read that times out succeeds with fewer
    // bytes (0 when nothing came). A write that cannot hand over every byte within its time-out
    // fails with ETIMEDOUT, written telling how many went. A device that went away fails at once.
    virtual bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) = 0;
    virtual bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) = 0;

    // Reads and clears the error flags; fills the queue counts when status is given.
    virtual bool ClearError(std::uint32_t* errors, SerialStatus* status) = 0;

    // Safe from any thread: a waiting read or write returns at once with a failure, and so does
    // every later one, until the port is opened again. Used so that closing never waits out a
    // response time-out.
    virtual void Abort() = 0;

    // errno of the last failed operation (0 when none), and the device last asked for.
    virtual int LastError() const = 0;
    virtual std::string Device() const = 0;
    // Why the last open failed where an errno cannot say it (a bad option, a refused line
    // setting); empty when the errno says it all.
    virtual std::string LastErrorText() const { return {}; }

    // Line controls a tty has and other kinds lack; each returns 0 or the errno that refused it.
    // The driver's own RS-485 mode (RTS switched around every frame by the kernel).
    virtual int EnableRs485(const Rs485Settings& /*settings*/) { return ENOTTY; }
    virtual int SetRts(bool /*high*/) { return ENOTTY; }
    // Waits until the transmitter has put the last byte on the line, at most timeoutMs.
    virtual int WaitSent(std::uint32_t /*timeoutMs*/) { return 0; }
    // Deliver received bytes at once rather than on the driver's latency timer; best effort.
    virtual void SetLowLatency(bool /*on*/) {}

    // The master marks each exchange: it starts with its response time-out and ends with its
    // result. Layers that care (the echo check, the frame trace) use them; a line ignores them.
    virtual void BeginExchange(std::uint32_t /*responseTimeoutMs*/) {}
    virtual void EndExchange(std::uint16_t /*code*/, const std::string& /*text*/) {}

    // What the line noticed but did not fail for (a setting a device server left unanswered),
    // one line each, handed over once; the trace writes them.
    virtual std::vector<std::string> TakeNotes() { return {}; }

    // The framing the line carries; layers hand down the one of the port they wrap.
    virtual LineFraming Framing() const { return LineFraming::Serial; }
};
