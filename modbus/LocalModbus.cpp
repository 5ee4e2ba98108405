#include "modbus/LocalModbus.h"

#include "lines/LinePort.h"
#include "lines/PortResolver.h"
#include "platform/Clock.h"

namespace {

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
      m_wMode(0),
      m_framings{MakeRtuFraming(), MakeAsciiFraming(), MakeMbapFraming()} {}

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

void CLocalModbus::SetMode(std::uint16_t mode) {
    m_wMode = mode;
    m_framing = mode == kModeAscii ? FramingKind::Ascii : FramingKind::Rtu;
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
    m_lineMbap = m_hPort->Framing() == LineFraming::Mbap;
    const SerialDcb dcb = BuildDcb(rate, parity == 0xFF ? m_nParity : parity);
    m_dwBaudRate = dcb.BaudRate;
    m_nParity = dcb.Parity;
    RaiseCharInterval(dcb.ByteSize, rate);
    m_dwCharacterTime = CharacterTime(dcb.ByteSize, rate);
    if (!m_hPort->SetTimeouts(Framing().PortTimeouts(Times())) || !m_hPort->SetLine(dcb)) {
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

LineTimes CLocalModbus::Times() const {
    return {m_dwTimeout, m_dwCharInterval, m_dwCharacterTime};
}

// ---- The exchange ----

std::uint16_t CLocalModbus::Transact(ByteArray& request, std::uint16_t requestLength,
                                     ByteArray& response, std::uint16_t expectedLength,
                                     std::uint16_t* receivedLength) {
    return Run(request, requestLength, response, expectedLength, receivedLength, true);
}

std::uint16_t CLocalModbus::Send(ByteArray& request, std::uint16_t requestLength) {
    ByteArray response;
    return Run(request, requestLength, response, 0, nullptr, false);
}

std::uint16_t CLocalModbus::Run(ByteArray& request, std::uint16_t requestLength,
                                ByteArray& response, std::uint16_t expectedLength,
                                std::uint16_t* receivedLength, bool expectAnswer) {
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
        CFraming& framing = Framing();
        CExchangeLine line(*m_hPort, Times());
        m_hPort->BeginExchange(m_dwTimeout);
        code = Exchange(framing, line, request, requestLength, response, expectedLength,
                        receivedLength, expectAnswer);
        const std::string text = GetErrorText(code);
        const std::string remark = expectAnswer ? framing.Remark() : std::string();
        m_hPort->EndExchange(code, remark.empty() ? text : text + ": " + remark);
        if (line.DeviceGone()) {
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

std::uint16_t CLocalModbus::Exchange(CFraming& framing, CExchangeLine& line, ByteArray& request,
                                     std::uint16_t requestLength, ByteArray& response,
                                     std::uint16_t expectedLength, std::uint16_t* receivedLength,
                                     bool expectAnswer) {
    const std::span<const std::uint8_t> frame = framing.Wrap(request, requestLength);
    m_hPort->Purge(kPurgeAll);
    if (!line.Write(frame.data(), static_cast<std::uint32_t>(frame.size()))) {
        return kModbusWriteError;
    }
    if (!expectAnswer) {
        return kModbusOk;  // Write has waited for the transmit queue to empty
    }
    framing.EndAnswerAt(m_answerEnd == AnswerEnd::Length ? expectedLength : 0);
    const std::uint16_t read = framing.Read(line);
    if (read != kModbusOk) {
        return read;
    }
    return framing.Unwrap(expectedLength, response, receivedLength);
}
