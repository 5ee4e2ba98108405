#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LineAddress.h"
#include "TcpSerialPort.h"
#include "TlsContext.h"
#include "TlsFailure.h"

struct ssl_st;
struct bio_st;
struct x509_store_ctx_st;

// What an open TLS line agreed with its device, for a person to check.
struct TlsSessionInfo {
    std::string protocol;     // "TLSv1.3"
    std::string cipher;       // "TLS_AES_256_GCM_SHA384"
    std::string peerSubject;  // the device certificate's subject, "CN=meter,O=Plant" (RFC 2253)
    std::string peerIssuer;   // and its issuer
};

// Modbus/TCP Security ("tls://HOST[:PORT]?cert=FILE&key=FILE&ca=FILE"): the MBAP frames of
// Modbus TCP inside TLS 1.2 or 1.3, both ends showing a certificate. The device's must be
// signed by the CA and name HOST (its DNS name, or its IP address when HOST is one); this
// end's goes to every device, and one that does not ask for it is refused, as is one that
// refuses it. There is never a fallback to plain TCP. The handshake runs within the open's
// bound on the non-blocking connection, cut short by Abort() like every other wait; records go
// through memory buffers, so reads and writes keep the line's time-outs and its memory bound.
class CModbusTlsPort : public CTcpSerialPort {
public:
    // After a TLS 1.3 handshake the device judges the certificate it was shown; the open waits
    // this long for its verdict (its session tickets, or an alert) so that a refusal fails the
    // open and not the first exchange.
    static constexpr int kVerdictMs = 300;

    CModbusTlsPort() = default;
    explicit CModbusTlsPort(TlsFiles files) : m_files(std::move(files)) {}
    ~CModbusTlsPort() override;

    // The files the next Open loads.
    void SetFiles(const TlsFiles& files) { m_files = files; }

    // Loads the files, then connects to "HOST:PORT" and shakes hands, all within kOpenBoundMs.
    bool Open(const std::string& device) override;
    bool Close() override;
    LineFraming Framing() const override { return LineFraming::Mbap; }
    // Also a key file that others can read, once after the open that found it.
    std::vector<std::string> TakeNotes() override;

    // What the open line agreed; nullopt while it is closed.
    std::optional<TlsSessionInfo> Session() const;

protected:
    bool Handshake(Clock::time_point deadline) override;
    void Decode(const std::uint8_t* raw, std::size_t count) override;
    void Encode(const std::uint8_t* data, std::uint32_t count,
                std::vector<std::uint8_t>& wire) override;
    std::uint32_t DataBytesSent(const std::uint8_t* data, std::uint32_t count,
                                std::size_t sent) override;

private:
    enum class Received { Got, Closed, TimedOut, Failed };

    static void OnMessage(int writing, int version, int type, const void* data, std::size_t size,
                          ssl_st* ssl, void* self);
    static int OnVerify(int ok, x509_store_ctx_st* store);

    void FreeSession();
    bool SetUpSession();
    // Sends what TLS has written into its buffer by the deadline.
    bool Flush(Clock::time_point deadline);
    // Waits by the deadline for what the device sends and hands it to TLS; on Failed the
    // reason is set.
    Received ReceiveRecord(Clock::time_point deadline);
    // Waits up to kVerdictMs for the device to accept or refuse this end's certificate.
    bool AwaitVerdict(Clock::time_point deadline);
    // Takes the line's bytes out of TLS; false when the session failed.
    bool TakePlain();
    // The handshake failed: the reason in words, the session dropped.
    bool Refuse(int error);
    // The session failed after the open: the line is gone until the next one.
    void LoseLine(int error);
    std::string Where() const;

    TlsFiles m_files;
    std::unique_ptr<CTlsContext> m_context;
    ssl_st* m_ssl = nullptr;
    bio_st* m_in = nullptr;   // records from the device, owned by m_ssl
    bio_st* m_out = nullptr;  // records for the device, owned by m_ssl
    TlsFailureFacts m_facts;
    bool m_bCertificateAsked = false;
    bool m_bTicketCame = false;
    std::size_t m_nWireSize = 0;
    std::vector<std::string> m_notes;
};
