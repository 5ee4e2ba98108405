#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "tools/slave/AsciiFramer.h"
#include "tools/slave/LineDevice.h"
#include "tools/slave/LinePacer.h"
#include "tools/slave/LineTap.h"
#include "tools/slave/RtuFramer.h"
#include "tools/slave/SlaveLog.h"
#include "tools/slave/SlaveOptions.h"
#include "tools/slave/SlaveUnits.h"

namespace slave {

// The event loop: reads the line, frames requests, answers them (late, wrong or corrupted
// when asked to) and logs both directions.
class CSlaveServer {
public:
    using Clock = std::chrono::steady_clock;

    // tap, when given, hears both directions as they cross the wire.
    CSlaveServer(const SlaveOptions& options, CSlaveUnits& units, CLineDevice& line, CSlaveLog& log,
                 CLineTap* tap = nullptr);

    // Serves until stopFd becomes readable (0) or the line fails for good (1, reason on
    // stderr).
    int Run(int stopFd);

private:
    struct PendingAnswer {
        Clock::time_point due;
        Bytes wire;      // the bytes to write
        Bytes logBytes;  // the frame as logged (ASCII: decoded, LRC included)
        bool corrupt = false;
        std::optional<std::string> asciiText;
    };

    // Reads what has arrived; false when the line is gone.
    bool ReadLine();
    void OnFrame(const DecodedFrame& frame, std::optional<std::string> asciiText);
    void SendDue(Clock::time_point now);
    bool WriteAll(const Bytes& data);
    // Writes what the paced, bursty or echoing line delivers by now.
    void FlushPacer(Clock::time_point now);
    // The first moment the loop must act at; nullopt when only a descriptor can wake it.
    std::optional<Clock::time_point> NextDue() const;
    void FlushTap(Clock::time_point now);

    const SlaveOptions& m_options;
    CLineDevice& m_line;
    CSlaveLog& m_log;
    CSlaveUnits& m_units;
    CRtuFramer m_rtu;
    CAsciiFramer m_ascii;
    std::deque<PendingAnswer> m_pending;
    Clock::time_point m_start;
    // Set when the line echoes, paces or bursts: every byte to the master goes through it.
    std::optional<CLinePacer> m_pacer;
    // Paced: when the bytes received so far have finished arriving on the simulated wire.
    Clock::time_point m_inputFree{};
    // The master's settings when the latest bytes came; none when they are not checked.
    std::optional<MasterSettings> m_heard;
    CLineTap* m_tap;
    bool m_bTapDropLogged = false;
};

}  // namespace slave
