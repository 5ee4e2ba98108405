#pragma once

#include <memory>
#include <utility>

#include "SerialPort.h"

// A port that wraps another and hands every call down; a layer overrides what it adds.
class CPortLayer : public CSerialPort {
public:
    explicit CPortLayer(std::unique_ptr<CSerialPort> inner) : m_pInner(std::move(inner)) {}

    bool Open(const std::string& device) override { return m_pInner->Open(device); }
    bool Close() override { return m_pInner->Close(); }
    bool IsOpen() const override { return m_pInner->IsOpen(); }
    bool SetQueueSizes(std::uint32_t receive, std::uint32_t transmit) override {
        return m_pInner->SetQueueSizes(receive, transmit);
    }
    bool SetLine(const SerialDcb& dcb) override { return m_pInner->SetLine(dcb); }
    bool SetTimeouts(const SerialTimeouts& timeouts) override {
        return m_pInner->SetTimeouts(timeouts);
    }
    bool Purge(std::uint32_t flags) override { return m_pInner->Purge(flags); }
    bool Write(const std::uint8_t* data, std::uint32_t count, std::uint32_t* written) override {
        return m_pInner->Write(data, count, written);
    }
    bool Read(std::uint8_t* data, std::uint32_t count, std::uint32_t* received) override {
        return m_pInner->Read(data, count, received);
    }
    bool ClearError(std::uint32_t* errors, SerialStatus* status) override {
        return m_pInner->ClearError(errors, status);
    }
    void Abort() override { m_pInner->Abort(); }
    int LastError() const override { return m_pInner->LastError(); }
    std::string Device() const override { return m_pInner->Device(); }
    std::string LastErrorText() const override { return m_pInner->LastErrorText(); }
    int EnableRs485(const Rs485Settings& settings) override {
        return m_pInner->EnableRs485(settings);
    }
    int SetRts(bool high) override { return m_pInner->SetRts(high); }
    int WaitSent(std::uint32_t timeoutMs) override { return m_pInner->WaitSent(timeoutMs); }
    void SetLowLatency(bool on) override { m_pInner->SetLowLatency(on); }
    void BeginExchange(std::uint32_t responseTimeoutMs) override {
        m_pInner->BeginExchange(responseTimeoutMs);
    }
    void EndExchange(std::uint16_t code, const std::string& text) override {
        m_pInner->EndExchange(code, text);
    }
    std::vector<std::string> TakeNotes() override { return m_pInner->TakeNotes(); }
    LineFraming Framing() const override { return m_pInner->Framing(); }

protected:
    CSerialPort& Inner() const { return *m_pInner; }

private:
    std::unique_ptr<CSerialPort> m_pInner;
};
