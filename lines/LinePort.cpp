#include "lines/LinePort.h"

#include <cerrno>
#include <map>

#include "lines/EchoPort.h"
#include "lines/PortKinds.h"
#include "lines/Rs485Port.h"
#include "lines/TracePort.h"

namespace {

// One trace file object per path, shared by every line that traces into it.
std::shared_ptr<CTraceFile> SharedTraceFile(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<CTraceFile>> files;
    const std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<CTraceFile> file = files[path].lock();
    if (!file) {
        file = std::make_shared<CTraceFile>(path);
        files[path] = file;
    }
    return file;
}

}  // namespace

CLinePort::CLinePort(KindFactory factory)
    : m_factory(factory ? std::move(factory) : KindFactory(MakeKindPort)) {}

CLinePort::~CLinePort() {
    Close();
}

bool CLinePort::Refuse(int error, std::string why) {
    m_nError = error;
    m_strError = std::move(why);
    return false;
}

std::unique_ptr<CSerialPort> CLinePort::Build(const LineAddress& address, CModbusTlsPort*& tls,
                                              std::string& why) {
    std::unique_ptr<CSerialPort> port = m_factory(address.kind);
    if (!port) {
        why = std::string(LineKindName(address.kind)) + " lines are not available in this build";
        return nullptr;
    }
    tls = dynamic_cast<CModbusTlsPort*>(port.get());
    if (tls != nullptr) {
        tls->SetFiles(address.tls);
    }
    if (address.rs485) {
        port = std::make_unique<CRs485Port>(std::move(port), address.rs485Settings);
    }
    if (address.echo) {
        port = std::make_unique<CEchoPort>(std::move(port));
    }
    // The trace sits outermost, so it shows the frames as the master sends and gets them.
    if (const std::string trace = TraceFilePath(); !trace.empty()) {
        port = std::make_unique<CTracePort>(std::move(port), SharedTraceFile(trace),
                                            LineTarget(m_strDevice));
    }
    return port;
}

bool CLinePort::Open(const std::string& device) {
    m_strDevice = device;
    m_nError = 0;
    m_strError.clear();
    if (IsOpen()) {
        return Refuse(EBUSY, "");
    }
    std::unique_ptr<CSerialPort> old;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bAborted = false;
        old = std::move(m_pChain);
        m_pTls = nullptr;
    }
    old.reset();
    std::string why;
    const std::optional<LineAddress> address = ParseLineAddress(device, why);
    if (!address) {
        return Refuse(EINVAL, why);
    }
    CModbusTlsPort* tls = nullptr;
    std::unique_ptr<CSerialPort> chain = Build(*address, tls, why);
    if (!chain) {
        return Refuse(EPROTONOSUPPORT, why);
    }
    CSerialPort* port = chain.get();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pChain = std::move(chain);
        m_pTls = tls;
    }
    const bool opened = port->Open(address->target);
    if (opened && address->kind == LineKind::Tty) {
        port->SetLowLatency(address->lowLatency);
    }
    {
        // An abort that came while the chain was opening holds for the session it opened.
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bAborted) {
            port->Abort();
        }
    }
    return opened;
}

bool CLinePort::Close() {
    return !m_pChain || m_pChain->Close();
}

bool CLinePort::IsOpen() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_pChain && m_pChain->IsOpen();
}

bool CLinePort::SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) {
    return m_pChain ? m_pChain->SetQueueSizes(receive, transmit) : Refuse(EBADF, "");
}

bool CLinePort::SetLine(const SerialDcb& dcb) {
    return m_pChain ? m_pChain->SetLine(dcb) : Refuse(EBADF, "");
}

bool CLinePort::SetTimeouts(const SerialTimeouts& timeouts) {
    return m_pChain ? m_pChain->SetTimeouts(timeouts) : Refuse(EBADF, "");
}

bool CLinePort::Purge(std::uint32_t flags) {
    return m_pChain ? m_pChain->Purge(flags) : Refuse(EBADF, "");
}

bool CLinePort::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) {
    if (written != nullptr) {
        *written = 0;
    }
    return m_pChain ? m_pChain->Write(data, count, written) : Refuse(EBADF, "");
}

bool CLinePort::Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) {
    if (received != nullptr) {
        *received = 0;
    }
    return m_pChain ? m_pChain->Read(data, count, received) : Refuse(EBADF, "");
}

bool CLinePort::ClearError(std::uint32_t* errors, SerialStatus* status) {
    if (m_pChain) {
        return m_pChain->ClearError(errors, status);
    }
    if (errors != nullptr) {
        *errors = 0;
    }
    if (status != nullptr) {
        *status = SerialStatus{};
    }
    return Refuse(EBADF, "");
}

void CLinePort::Abort() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bAborted = true;
    if (m_pChain) {
        m_pChain->Abort();
    }
}

int CLinePort::LastError() const {
    return m_nError != 0 || !m_pChain ? m_nError : m_pChain->LastError();
}

std::string CLinePort::LastErrorText() const {
    return !m_strError.empty() || !m_pChain ? m_strError : m_pChain->LastErrorText();
}

void CLinePort::BeginExchange(std::uint32_t responseTimeoutMs) {
    if (m_pChain) {
        m_pChain->BeginExchange(responseTimeoutMs);
    }
}

LineFraming CLinePort::Framing() const {
    return m_pChain ? m_pChain->Framing() : LineFraming::Serial;
}

std::optional<TlsSessionInfo> CLinePort::TlsSession() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_pTls != nullptr ? m_pTls->Session() : std::nullopt;
}

void CLinePort::EndExchange(std::uint16_t code, const std::string& text) {
    if (m_pChain) {
        m_pChain->EndExchange(code, text);
    }
}
