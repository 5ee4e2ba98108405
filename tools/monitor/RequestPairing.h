#pragma once

#include <chrono>
#include <optional>

#include "protocol/FrameSink.h"
#include "protocol/FunctionTable.h"
#include "tools/monitor/BusTally.h"
#include "tools/monitor/RecordQueue.h"

namespace monitor {

// Turns frames into records and pairs each answer with the request it answers: the last
// request heard, when the answer comes from its slave and function within the answer time.
// A request that gets none, or is followed by another request, is unanswered.
class CRequestPairing final : public protocol::IFrameSink {
public:
    CRequestPairing(CRecordQueue& records, CBusTally& tally,
                    std::chrono::milliseconds answerTimeout);

    std::optional<protocol::Expectation> Expected() const override;
    void Frame(const Bytes& message, Bytes shown, Clock::time_point time) override;
    void Noise(const std::uint8_t* data, std::size_t count, Clock::time_point time) override;
    void BadCheck(Bytes shown, Clock::time_point time, std::string error, std::uint8_t slave,
                  bool answersPending) override;
    void Quiet() override;

    // A request out longer than the answer time is unanswered, unless bytes heard before
    // its time ran out are still undecided.
    void Tick(Clock::time_point now, std::optional<Clock::time_point> oldestHeld);
    void Finish();
    std::optional<Clock::time_point> Deadline() const;

private:
    // The request out, and what it said, which its answer is read against.
    struct Pending {
        MonitorRecord record;
        protocol::Description description;
    };

    bool IsAnswer(const Bytes& message) const;
    bool AnswersPending(std::uint8_t slave, std::uint8_t function) const;
    void Request(const Bytes& message, MonitorRecord record);
    void Answer(const Bytes& message, MonitorRecord record);
    void Exception(const Bytes& message, MonitorRecord record);
    std::optional<double> PairWithPending(MonitorRecord& record);
    bool IsLate(Clock::time_point now) const;
    void ExpireIfLate(Clock::time_point now);
    void Unanswered();

    CRecordQueue& m_records;
    CBusTally& m_tally;
    std::chrono::milliseconds m_answerTimeout;
    std::optional<Pending> m_pending;
};

}  // namespace monitor
