#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tools/slave/AnswerFaults.h"
#include "tools/slave/FrameCheck.h"
#include "tools/slave/SlaveDevice.h"
#include "tools/slave/SlaveOptions.h"
#include "tools/slave/SlaveUnit.h"

namespace slave {

// What became of one request, and the faults its answer carries.
struct ServedRequest {
    SlaveReply reply;
    AnswerFault fault;  // for an answer only
};

using Units = std::vector<std::unique_ptr<CSlaveUnit>>;

// Every unit the simulator serves, shared by all its lines and ports: a request from any of
// them reaches the same data. Safe to call from each transport's own thread and from the
// control's; every call holds the one lock for its whole length.
class CSlaveUnits {
public:
    using Clock = std::chrono::steady_clock;

    // The device of the options alone: every id answers from one table.
    explicit CSlaveUnits(const SlaveOptions& options);
    explicit CSlaveUnits(Units units);

    // A request message (address, function, data) whose check passed.
    ServedRequest Serve(const Bytes& message);
    // A frame no unit could use; every unit on the line hears it.
    void Misheard(FrameStatus status);

    // The unit a network request for "the device itself" (unit 0 or 255) goes to.
    int FirstId() const;
    bool Answers(int address) const;

    // Runs f with the units under the lock: for the control and a reload.
    void WithUnits(const std::function<void(Units&, std::uint64_t elapsedMs)>& f);

private:
    std::uint64_t ElapsedMs() const;
    CSlaveUnit* Find(int address) const;

    mutable std::mutex m_mutex;
    Units m_units;
    Clock::time_point m_start;
};

}  // namespace slave
