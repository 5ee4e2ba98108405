#include "lines/Rs485Port.h"

#include <cstring>

#include "platform/Clock.h"
#include "lines/DirectionNote.h"

CRs485Port::CRs485Port(std::unique_ptr<CSerialPort> inner, const Rs485Settings& settings)
    : CPortLayer(std::move(inner)),
      sleep([](std::uint32_t ms) { SleepMs(ms); }),
      m_settings(settings) {}

bool CRs485Port::Refuse(int error, const std::string& why) {
    m_nError = error;
    m_strError = why;
    return false;
}

int CRs485Port::Drive(bool sending) {
    return CPortLayer::SetRts(sending == m_settings.rtsHighWhileSending);
}

bool CRs485Port::Open(const std::string& device) {
    m_mode = Mode::None;
    m_nError = 0;
    m_strError.clear();
    if (!CPortLayer::Open(device)) {
        return false;
    }
    const int kernel = CPortLayer::EnableRs485(m_settings);
    if (kernel == 0) {
        m_mode = Mode::Kernel;
        NoteDirectionControl(device, "kernel RS-485 mode");
        return true;
    }
    if (kernel != ENOTTY && kernel != EINVAL) {
        CPortLayer::Close();
        return Refuse(kernel, std::string("rs485: the driver refused its RS-485 mode: ") +
                                  std::strerror(kernel));
    }
    if (const int rts = Drive(false); rts != 0) {
        CPortLayer::Close();
        return Refuse(rts, std::string("rs485: the driver has no RS-485 mode (") +
                               std::strerror(kernel) + ") and RTS cannot be driven either (" +
                               std::strerror(rts) + ")");
    }
    m_mode = Mode::Rts;
    NoteDirectionControl(device, "RTS driven by the program");
    return true;
}

bool CRs485Port::SetLine(const SerialDcb& dcb) {
    // RTS belongs to the direction control, not to the line's handshake settings.
    if (dcb.fRtsControl == kRtsControlHandshake) {
        return Refuse(EINVAL,
                      "rs485: RTS switches the transceiver and cannot also be used for RTS/CTS "
                      "flow control; choose no flow control");
    }
    SerialDcb line = dcb;
    line.fRtsControl = kRtsControlDisable;
    if (!CPortLayer::SetLine(line)) {
        return false;
    }
    if (m_mode == Mode::Kernel) {
        // Enabling the mode again has the driver put RTS back at its idle level.
        const int error = CPortLayer::EnableRs485(m_settings);
        return error == 0 || Refuse(error, "rs485: the driver refused its RS-485 mode");
    }
    return m_mode != Mode::Rts || Drive(false) == 0 || Refuse(EIO, "rs485: RTS cannot be driven");
}

void CRs485Port::BeginExchange(std::uint32_t responseTimeoutMs) {
    m_dwSentBoundMs = responseTimeoutMs;
    CPortLayer::BeginExchange(responseTimeoutMs);
}

bool CRs485Port::Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) {
    if (m_mode != Mode::Rts) {
        return CPortLayer::Write(data, count, written);
    }
    m_nError = 0;
    m_strError.clear();
    if (const int error = Drive(true); error != 0) {
        return Refuse(error, "rs485: RTS cannot be driven");
    }
    if (m_settings.delayBeforeMs > 0) {
        sleep(m_settings.delayBeforeMs);
    }
    bool ok = CPortLayer::Write(data, count, written);
    // The transceiver must keep driving until the stop bit of the last byte has left.
    const int sent = ok ? CPortLayer::WaitSent(m_dwSentBoundMs) : 0;
    if (m_settings.delayAfterMs > 0) {
        sleep(m_settings.delayAfterMs);
    }
    const int idle = Drive(false);
    if (ok && sent != 0) {
        ok = Refuse(sent, "rs485: the frame did not leave within the response time-out");
    }
    if (ok && idle != 0) {
        ok = Refuse(idle, "rs485: RTS cannot be driven");
    }
    return ok;
}

int CRs485Port::LastError() const {
    return m_nError != 0 ? m_nError : CPortLayer::LastError();
}

std::string CRs485Port::LastErrorText() const {
    return m_strError.empty() ? CPortLayer::LastErrorText() : m_strError;
}
