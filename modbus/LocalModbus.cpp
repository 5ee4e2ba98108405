#include "modbus/LocalModbus.h"

#include <algorithm>
#include <limits>

#include "lines/LinePort.h"
#include "lines/PortResolver.h"
#include "modbus/Lrc.h"
#include "platform/Clock.h"

namespace {

constexpr std::uint16_t kModeRtu = 0;
constexpr std::uint16_t kModeAscii = 1;

constexpr std::uint8_t kFirstPort = 1;
constexpr std::uint8_t kLastPort = 16;
constexpr std::uint32_t kDriverQueueSize = 1024;
constexpr std::uint32_t kDcbLength = 28;
constexpr char kXonChar = 0x11;
constexpr char kXoffChar = 0x13;
constexpr std::uint16_t kXonXoffLimit = 100;

// Start and stop framing around each character, as the character-time rules count it.
constexpr std::uint32_t kFramingBits = 4;

constexpr std::size_t kRtuFrameSize = 512;
constexpr std::uint32_t kRtuFirstRead = 4;
constexpr std::size_t kRtuCheckLength = 2;
constexpr std::uint32_t kRtuExceptionLength = 5;  // slave, function | 0x80, code, check
constexpr std::uint8_t kExceptionFlag = 0x80;

constexpr std::size_t kAsciiFrameSize = 1024;
constexpr std::uint8_t kAsciiStart = ':';
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint32_t kAsciiMinFrame = 5;  // ':', two LRC digits, CR, LF
constexpr std::uint32_t kAsciiPollSleepMs = 1;
constexpr std::uint32_t kDrainPollSleepMs = 1;

std::uint8_t CrcLow(std::uint16_t crc) {
    return static_cast<std::uint8_t>(crc & 0xFF);
}

std::uint8_t CrcHigh(std::uint16_t crc) {
    return static_cast<std::uint8_t>(crc >> 8);
}

}  // namespace

CLocalModbus::CLocalModbus(std::unique_ptr<CSerialPort> port)
    : m_wDataBits(8),
      m_hPort(port ? std::move(port) : std::make_unique<CLinePort>()),
      m_dwTimeout(1000),
      m_dwCharInterval(0),
      m_nPort(1),
      m_dwBaudRate(9600),
      m_nParity(0),
      m_nFlowControl(0),
      m_nStopBits(0),
      m_wMode(kModeRtu),
      m_frame(kAsciiFrameSize, 0) {}

CLocalModbus::~CLocalModbus() {
    Close();
}

std::string CLocalModbus::GetErrorText(std::uint16_t code) const {
    return CModbus::GetErrorText(code);
}

bool CLocalModbus::IsPortOpen() const {
    return m_hPort->IsOpen();
}

void CLocalModbus::SetCharInterval(std::uint32_t ms) {
    if (ms != 0) {
        m_dwCharInterval = ms;
    }
}

void CLocalModbus::AbortExchanges() {
    m_hPort->Abort();
}

// ---- Opening the line ----

bool CLocalModbus::Open(std::uint8_t port, std::uint32_t baudRate, std::uint8_t parity) {
    Lock();  // waits for a running exchange; it always succeeds
    const bool opened = OpenLocked(port, baudRate, parity);
    Unlock();
    return opened;
}

bool CLocalModbus::Close() {
    if (IsPortOpen() && !m_hPort->Close()) {
        return false;
    }
    return true;
}

bool CLocalModbus::OpenLocked(std::uint8_t port, std::uint32_t baudRate, std::uint8_t parity) {
    if (!Close()) {
        return FailOpen(m_hPort->LastError(), m_hPort->Device());
    }
    const std::uint8_t number = port == 0 ? m_nPort : port;
    if (number < kFirstPort || number > kLastPort) {
        return FailOpen(0, "");
    }
    m_nPort = number;
    const std::string device = ResolvePortDevice(m_nPort);
    const std::uint32_t rate = baudRate == 0 ? m_dwBaudRate : baudRate;
    if (rate == 0) {
        return FailOpen(0, device);  // the character times divide by it
    }
    if (!m_hPort->Open(device) || !m_hPort->SetQueueSizes(kDriverQueueSize, kDriverQueueSize)) {
        return FailOpen(m_hPort->LastError(), device);
    }
    const SerialDcb dcb = BuildDcb(rate, parity == 0xFF ? m_nParity : parity);
    m_dwBaudRate = dcb.BaudRate;
    m_nParity = dcb.Parity;
    RaiseCharInterval(dcb.ByteSize, rate);
    m_dwCharacterTime = CharacterTime(dcb.ByteSize, rate);
    if (!m_hPort->SetTimeouts(BuildTimeouts(m_dwCharacterTime)) || !m_hPort->SetLine(dcb)) {
        return FailOpen(m_hPort->LastError(), device);
    }
    m_nLastPortError = 0;
    m_strPortErrorText.clear();
    m_strPortDevice = device;
    return true;
}

bool CLocalModbus::FailOpen(int error, const std::string& device) {
    m_nLastPortError = error;
    m_strPortErrorText = m_hPort->LastErrorText();
    m_strPortDevice = device;
    return false;
}

SerialDcb CLocalModbus::BuildDcb(std::uint32_t baudRate, std::uint8_t parity) const {
    SerialDcb dcb{};
    dcb.DCBlength = kDcbLength;
    dcb.BaudRate = baudRate;
    dcb.fBinary = 1;
    dcb.fParity = 0;  // the parity bit is sent, received parity is not checked
    dcb.ByteSize = static_cast<std::uint8_t>(m_wDataBits & 0xFF);
    dcb.Parity = parity;
    dcb.StopBits = m_nStopBits;
    dcb.XonChar = kXonChar;
    dcb.XoffChar = kXoffChar;
    dcb.XonLim = kXonXoffLimit;
    dcb.XoffLim = kXonXoffLimit;
    const bool dtrDsr = (m_nFlowControl & kFlowDtrDsr) != 0;
    dcb.fOutxDsrFlow = dtrDsr ? 1 : 0;
    dcb.fDtrControl = dtrDsr ? kDtrControlHandshake : kDtrControlEnable;
    const bool rtsCts = (m_nFlowControl & kFlowRtsCts) != 0;
    dcb.fOutxCtsFlow = rtsCts ? 1 : 0;
    dcb.fRtsControl = rtsCts ? kRtsControlHandshake : kRtsControlEnable;
    const bool xonXoff = (m_nFlowControl & kFlowXonXoff) != 0;
    dcb.fOutX = xonXoff ? 1 : 0;
    dcb.fInX = xonXoff ? 1 : 0;
    return dcb;
}

// A frame ends after at least four character times of silence.
void CLocalModbus::RaiseCharInterval(std::uint8_t dataBits, std::uint32_t baudRate) {
    const std::uint32_t t4 = (dataBits + kFramingBits) * 4000 / baudRate;
    if (t4 > m_dwCharInterval) {
        m_dwCharInterval = t4;
    }
}

std::uint32_t CLocalModbus::CharacterTime(std::uint8_t dataBits, std::uint32_t baudRate) {
    const std::uint32_t tc = (dataBits + kFramingBits) * 1000 / baudRate;
    return tc == 0 ? 1 : tc;
}

SerialTimeouts CLocalModbus::BuildTimeouts(std::uint32_t characterTime) const {
    SerialTimeouts timeouts{};
    if (m_wMode == kModeRtu) {
        // The driver's interval time-out finds the end of an RTU frame.
        timeouts.ReadIntervalTimeout = m_dwCharInterval;
        timeouts.ReadTotalTimeoutMultiplier = characterTime;
        timeouts.ReadTotalTimeoutConstant = m_dwTimeout;
        timeouts.WriteTotalTimeoutMultiplier = m_dwCharInterval;
        timeouts.WriteTotalTimeoutConstant = m_dwTimeout;
    } else {
        // ASCII polls byte by byte and does its own timing.
        timeouts.ReadIntervalTimeout = kReadAtOnce;
    }
    return timeouts;
}

// ---- The exchange ----

std::uint16_t CLocalModbus::Transact(ByteArray& request, std::uint16_t requestLength,
                                     ByteArray& response, std::uint16_t expectedLength,
                                     std::uint16_t* receivedLength) {
    if (response.size() < expectedLength) {
        response.resize(expectedLength, 0);
    }
    if (!Lock()) {
        return kModbusLockTimeout;
    }
    // A request array shorter than its stated length is taken as zero-padded.
    if (request.size() < requestLength) {
        request.resize(requestLength, 0);
    }
    std::uint16_t code = kModbusPortNotOpen;
    if (IsPortOpen()) {
        m_bDeviceGone = false;
        m_hPort->BeginExchange(m_dwTimeout);
        code = m_wMode == kModeAscii
                   ? ExchangeAscii(request, requestLength, response, expectedLength, receivedLength)
                   : ExchangeRtu(request, requestLength, response, expectedLength, receivedLength);
        m_hPort->EndExchange(code, GetErrorText(code));
        if (m_bDeviceGone) {
            // An unplugged adapter is let go at once: its device node can come back under the
            // same name only when nobody holds it, and the next start opens it afresh. Until
            // then every exchange ends at once with code 10 and nothing waits on the line.
            m_hPort->Close();
        }
    }
    if (code != kModbusOk && m_dwErrorDelay > 0) {
        SleepMs(m_dwErrorDelay);
    }
    Unlock();
    return code;
}

std::uint16_t CLocalModbus::ExchangeRtu(ByteArray& request, std::uint16_t requestLength,
                                        ByteArray& response, std::uint16_t expectedLength,
                                        std::uint16_t* receivedLength) {
    AppendCrc(request, requestLength);
    m_hPort->Purge(kPurgeAll);
    if (!WriteWithDrain(request.data(),
                        static_cast<std::uint32_t>(requestLength + kRtuCheckLength))) {
        return kModbusWriteError;
    }
    std::uint32_t count = 0;
    if (!ReadRtuFrame(count)) {
        return kModbusReadError;
    }
    std::size_t payloadLength = 0;
    const std::uint16_t code = CheckRtuAnswer(count, expectedLength, payloadLength);
    if (code != kModbusOk) {
        return code;
    }
    m_frame.resize(payloadLength);
    response = m_frame;
    if (receivedLength != nullptr) {
        *receivedLength = static_cast<std::uint16_t>(payloadLength);
    }
    return kModbusOk;
}

void CLocalModbus::AppendCrc(ByteArray& request, std::uint16_t requestLength) const {
    const std::uint16_t crc = m_crc.Compute(request, requestLength);
    if (request.size() < requestLength + kRtuCheckLength) {
        request.resize(requestLength + kRtuCheckLength, 0);
    }
    request[requestLength] = CrcLow(crc);
    request[requestLength + 1] = CrcHigh(crc);
}

bool CLocalModbus::CrcMatches(std::size_t length) const {
    const std::uint16_t crc = CCrc16::Compute(m_frame.data(), length);
    return m_frame[length] == CrcLow(crc) && m_frame[length + 1] == CrcHigh(crc);
}

// An RTU answer counts only when it is exactly the expected length plus its check.
std::uint16_t CLocalModbus::CheckRtuAnswer(std::uint32_t count, std::uint16_t expectedLength,
                                           std::size_t& payloadLength) const {
    if (count == 0) {
        return kModbusTimeout;
    }
    if (m_frame[1] > kExceptionFlag) {
        if (count < kRtuExceptionLength || !CrcMatches(3)) {
            return kModbusCrcError;
        }
        return static_cast<std::uint16_t>(kModbusException + m_frame[2]);
    }
    if (expectedLength == 0) {
        // A frame followed by its own CRC has a CRC of 0 over the whole.
        if (CCrc16::Compute(m_frame.data(), count) != 0) {
            return kModbusCrcError;
        }
        payloadLength = count > kRtuCheckLength ? count - kRtuCheckLength : 0;
        return kModbusOk;
    }
    if (expectedLength + kRtuCheckLength > kRtuFrameSize ||
        count != expectedLength + kRtuCheckLength || !CrcMatches(expectedLength)) {
        return kModbusCrcError;
    }
    payloadLength = expectedLength;
    return kModbusOk;
}

bool CLocalModbus::ReadRtuFrame(std::uint32_t& count) {
    m_frame.assign(kRtuFrameSize, 0);
    count = 0;
    // The first read waits out the response time-out; the second ends at the frame's silence.
    std::uint32_t received = 0;
    if (!ReadChunk(0, kRtuFirstRead, received)) {
        return false;
    }
    count = received;
    if (count < kRtuFirstRead) {
        return true;
    }
    if (!ReadChunk(count, kRtuFrameSize - kRtuFirstRead, received)) {
        return false;
    }
    count += received;
    return true;
}

bool CLocalModbus::ReadChunk(std::size_t at, std::uint32_t wanted, std::uint32_t& received) {
    received = 0;
    if (!m_hPort->Read(m_frame.data() + at, wanted, &received)) {
        ClearPortErrors();
        return false;
    }
    received = std::min(received, wanted);  // never trust a count beyond what was asked
    return true;
}

bool CLocalModbus::WriteWithDrain(const std::uint8_t* data, std::uint32_t count) {
    std::uint32_t written = 0;
    if (!m_hPort->Write(data, count, &written)) {
        ClearPortErrors();
        return false;
    }
    const std::uint32_t start = TimeGetTime();
    std::uint32_t errors = 0;
    SerialStatus status;
    bool known = ReadPortErrors(errors, &status);
    while (known && status.cbOutQue != 0 && TimeGetTime() - start < m_dwTimeout) {
        // The queue empties at the line's pace, or not at all while CTS holds it back.
        SleepMs(kDrainPollSleepMs);
        known = ReadPortErrors(errors, &status);
    }
    return known && status.cbOutQue == 0;
}

void CLocalModbus::ClearPortErrors() {
    std::uint32_t errors = 0;
    ReadPortErrors(errors, nullptr);
}

bool CLocalModbus::ReadPortErrors(std::uint32_t& errors, SerialStatus* status) {
    const bool known = m_hPort->ClearError(&errors, status);
    if ((errors & kCommErrorDevice) != 0) {
        m_bDeviceGone = true;
    }
    return known;
}

std::uint16_t CLocalModbus::ExchangeAscii(const ByteArray& request, std::uint16_t requestLength,
                                          ByteArray& response, std::uint16_t expectedLength,
                                          std::uint16_t* receivedLength) {
    BuildAsciiFrame(request, requestLength);
    m_hPort->Purge(kPurgeAll);
    if (!WriteWithDrain(m_frame.data(), static_cast<std::uint32_t>(m_frame.size()))) {
        return kModbusWriteError;
    }
    std::uint32_t count = 0;
    const std::uint16_t read = ReadAsciiFrame(count);
    if (read != kModbusOk) {
        return read;
    }
    if (count == 0) {
        return kModbusTimeout;
    }
    if (!CheckLrc(count)) {
        return kModbusCrcError;
    }
    const ByteArray answer = DecodeAscii((count - kAsciiMinFrame) / 2);
    if (answer.size() >= 2 && answer[1] > kExceptionFlag) {
        // An exception answer too short to carry its code is as bad as a broken check.
        return answer.size() >= 3 ? static_cast<std::uint16_t>(kModbusException + answer[2])
                                  : kModbusCrcError;
    }
    if (expectedLength != 0 && answer.size() != expectedLength) {
        return kModbusCrcError;
    }
    if (response.size() < answer.size()) {
        response.resize(answer.size(), 0);
    }
    std::copy(answer.begin(), answer.end(), response.begin());
    if (receivedLength != nullptr) {
        *receivedLength = static_cast<std::uint16_t>(answer.size());
    }
    return kModbusOk;
}

void CLocalModbus::BuildAsciiFrame(const ByteArray& request, std::uint16_t requestLength) {
    const std::size_t n = requestLength;
    m_frame.assign(2 * n + kAsciiMinFrame, 0);
    m_frame[0] = kAsciiStart;
    for (std::size_t i = 0; i < n; ++i) {
        PutHexByte(1 + 2 * i, request[i]);
    }
    PutHexByte(2 * n + 1, ComputeLrc(request.data(), n));
    m_frame[2 * n + 3] = kCr;
    m_frame[2 * n + 4] = kLf;
}

void CLocalModbus::PutHexByte(std::size_t at, std::uint8_t value) {
    m_frame[at] = static_cast<std::uint8_t>(NibbleToHexDigit(value >> 4));
    m_frame[at + 1] = static_cast<std::uint8_t>(NibbleToHexDigit(value & 0x0F));
}

std::uint8_t CLocalModbus::HexByteAt(std::size_t at) const {
    return HexDigitsToByte(static_cast<char>(m_frame[at]), static_cast<char>(m_frame[at + 1]));
}

ByteArray CLocalModbus::DecodeAscii(std::size_t byteCount) const {
    ByteArray bytes(byteCount, 0);
    for (std::size_t i = 0; i < byteCount; ++i) {
        bytes[i] = HexByteAt(1 + 2 * i);
    }
    return bytes;
}

bool CLocalModbus::CheckLrc(std::uint32_t count) const {
    if (count < kAsciiMinFrame) {
        return false;
    }
    const ByteArray bytes = DecodeAscii((count - kAsciiMinFrame) / 2);
    // The LRC is the two characters in front of the closing CR LF.
    return ComputeLrc(bytes.data(), bytes.size()) == HexByteAt(count - 4);
}

// Polls one byte at a time: the answer ends at CR LF, or when the line stays silent for the
// window (the response time-out before the first byte, the character interval after one),
// counted from the first empty poll. Like the RTU read, the whole answer gets the response
// time-out plus a full buffer's character times, so a slave that trickles bytes just inside
// the window cannot hold the exchange.
std::uint16_t CLocalModbus::ReadAsciiFrame(std::uint32_t& count) {
    m_frame.assign(kAsciiFrameSize, 0);
    count = 0;
    const std::uint32_t start = TimeGetTime();
    const auto bound = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(m_dwTimeout + std::uint64_t{kAsciiFrameSize} * m_dwCharacterTime,
                                std::numeric_limits<std::uint32_t>::max()));
    std::uint32_t window = m_dwTimeout;
    std::uint32_t firstIdle = 0;
    std::uint32_t lastIdle = 0;
    bool idle = false;
    bool idleAgain = false;  // lastIdle holds a poll after firstIdle
    for (;;) {
        std::uint32_t received = 0;
        if (!ReadChunk(count, 1, received)) {
            return kModbusReadError;
        }
        if (received == 1) {
            ++count;
            window = m_dwCharInterval;
            idle = false;
            idleAgain = false;
        } else {
            if (!idle) {
                idle = true;
                firstIdle = TimeGetTime();
            } else {
                lastIdle = TimeGetTime();
                idleAgain = true;
            }
            SleepMs(kAsciiPollSleepMs);
        }
        std::uint32_t errors = 0;
        SerialStatus status;
        const bool known = ReadPortErrors(errors, &status);
        const bool complete =
            count > kAsciiMinFrame && m_frame[count - 2] == kCr && m_frame[count - 1] == kLf;
        const bool queueEmpty = !known || status.cbInQue == 0;
        if (queueEmpty && idleAgain && lastIdle - firstIdle >= window) {
            return kModbusOk;
        }
        if (complete) {
            return kModbusOk;
        }
        if (count >= kAsciiFrameSize) {
            return kModbusReadError;
        }
        // A poll that brought a byte moves toward the buffer's end, so only an idle poll,
        // which has just read the clock, needs to look at the bound.
        if (idle && (idleAgain ? lastIdle : firstIdle) - start >= bound) {
            return kModbusTimeout;
        }
    }
}
