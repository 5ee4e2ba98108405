#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "LineAddress.h"
#include "ModbusTlsPort.h"
#include "PortLayer.h"

// The master's port for any mapped device: Open parses the device string (a path or a URL with
// options), builds the port of that kind and wraps it in the layers its options and the trace
// ask for. Every other call goes to that chain.
class CLinePort : public CSerialPort {
public:
    // Builds the kind's port; tests hand in their own.
    using KindFactory = std::function<std::unique_ptr<CSerialPort>(LineKind)>;

    explicit CLinePort(KindFactory factory = nullptr);
    ~CLinePort() override;
    CLinePort(const CLinePort&) = delete;
    CLinePort& operator=(const CLinePort&) = delete;

    bool Open(const std::string& device) override;
    bool Close() override;
    bool IsOpen() const override;
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override;
    bool SetLine(const SerialDcb& dcb) override;
    bool SetTimeouts(const SerialTimeouts& timeouts) override;
    bool Purge(std::uint32_t flags) override;
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override;
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override;
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override;
    void Abort() override;
    int LastError() const override;
    std::string Device() const override { return m_strDevice; }
    std::string LastErrorText() const override;
    void BeginExchange(std::uint32_t responseTimeoutMs) override;
    void EndExchange(std::uint16_t code, const std::string& text) override;
    LineFraming Framing() const override;

    // What a tls:// line agreed with its device while it is open; nullopt for other kinds.
    std::optional<TlsSessionInfo> TlsSession() const;

private:
    bool Refuse(int error, std::string why);
    // The kind's port in its layers; tls points at it when it is a tls:// line.
    std::unique_ptr<CSerialPort> Build(const LineAddress& address, CModbusTlsPort*& tls,
                                       std::string& why);

    KindFactory m_factory;
    // Guards the chain pointer against Abort and IsOpen from other threads while Open swaps it.
    mutable std::mutex m_mutex;
    std::unique_ptr<CSerialPort> m_pChain;
    CModbusTlsPort* m_pTls = nullptr;  // the chain's own line when it is a tls:// one
    bool m_bAborted = false;           // an Abort that came while Open was building the chain
    std::string m_strDevice;
    int m_nError = 0;
    std::string m_strError;
};
