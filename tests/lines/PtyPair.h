#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "lines/SerialPort.h"

// A pseudo-terminal standing in for a serial line: the port under test opens the slave side
// by its path, the test plays the far end on the master side.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return m_master >= 0 && m_slave >= 0; }
    const std::string& Path() const { return m_path; }
    // The test's own descriptor on the slave side; it shares the line settings with the port.
    int Slave() const { return m_slave; }

    void Send(const std::vector<std::uint8_t>& bytes) const;
    // Collects up to n bytes from the far end, waiting at most timeoutMs in all.
    std::vector<std::uint8_t> Receive(std::size_t n, int timeoutMs) const;
    // The far end goes away: the slave side hangs up.
    void CloseMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// Waits until the port reports at least n bytes in its receive queue; the kernel hands bytes
// written on the master side to the slave's queue a moment later, not within the write.
bool WaitForInQueue(CSerialPort& port, std::uint32_t n, int timeoutMs = 2000);

// The line settings record as the Modbus master fills it.
SerialDcb MasterDcb(std::uint32_t baud = 9600, std::uint8_t parity = kParityNone,
                    std::uint8_t bits = 8, std::uint8_t stopBits = kStopBitsOne,
                    std::uint8_t flow = 0);

std::vector<std::uint8_t> AllByteValues();

class Stopwatch {
public:
    long long Ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - m_start)
            .count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
