#include "tools/monitor/RequestPairing.h"

#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "tools/monitor/FrameShapes.h"
#include "tools/monitor/FrameValues.h"

namespace monitor {
namespace {

// Where a message's fields sit: address, function, and an exception's code after it.
constexpr std::size_t kFunctionAt = 1;
constexpr std::size_t kExceptionCodeAt = 2;

}  // namespace

CRequestPairing::CRequestPairing(CRecordQueue& records, CBusTally& tally,
                                 std::chrono::milliseconds answerTimeout)
    : m_records(records), m_tally(tally), m_answerTimeout(answerTimeout) {}

std::optional<protocol::Expectation> CRequestPairing::Expected() const {
    if (!m_pending) {
        return std::nullopt;
    }
    return protocol::Expectation{*m_pending->record.slave, *m_pending->record.function};
}

void CRequestPairing::Frame(const Bytes& message, Bytes shown, Clock::time_point time) {
    ExpireIfLate(time);
    MonitorRecord record;
    record.time = time;
    record.slave = message[0];
    record.function = static_cast<std::uint8_t>(message[kFunctionAt] & ~protocol::kExceptionFlag);
    record.bytes = std::move(shown);
    if ((message[kFunctionAt] & protocol::kExceptionFlag) != 0) {
        Exception(message, std::move(record));
    } else if (IsAnswer(message)) {
        Answer(message, std::move(record));
    } else {
        Request(message, std::move(record));
    }
}

void CRequestPairing::Noise(const std::uint8_t* data, std::size_t count, Clock::time_point time) {
    m_records.AddNoise(data, count, time);
}

void CRequestPairing::BadCheck(Bytes shown, Clock::time_point time, std::string error,
                               std::uint8_t slave, bool answersPending) {
    ExpireIfLate(time);
    MonitorRecord record;
    record.time = time;
    record.error = std::move(error);
    record.bytes = std::move(shown);
    m_records.Push(std::move(record));
    m_tally.CheckError(slave);
    // The slave did answer, only the line spoiled it.
    if (answersPending && m_pending) {
        m_pending.reset();
    }
}

void CRequestPairing::Quiet() {
    m_records.EndNoise();
}

void CRequestPairing::Tick(Clock::time_point now, std::optional<Clock::time_point> oldestHeld) {
    if (IsLate(now) && !(oldestHeld && !IsLate(*oldestHeld))) {
        Unanswered();
    }
}

void CRequestPairing::Finish() {
    if (m_pending) {
        Unanswered();
    }
    m_records.EndNoise();
}

std::optional<Clock::time_point> CRequestPairing::Deadline() const {
    if (!m_pending) {
        return std::nullopt;
    }
    return m_pending->record.time + m_answerTimeout;
}

// Where the shapes leave it open (functions 5, 6 and 8 echo their request, unknown functions
// have none), what the bus waits for decides.
bool CRequestPairing::IsAnswer(const Bytes& message) const {
    const bool request = FitsShape(FrameRole::Request, message.data(), message.size());
    const bool answer = FitsShape(FrameRole::Answer, message.data(), message.size());
    if (answer != request) {
        return answer;
    }
    return AnswersPending(message[0], message[kFunctionAt]);
}

bool CRequestPairing::AnswersPending(std::uint8_t slave, std::uint8_t function) const {
    return m_pending && m_pending->record.slave == slave &&
           m_pending->record.function == (function & ~protocol::kExceptionFlag);
}

void CRequestPairing::Request(const Bytes& message, MonitorRecord record) {
    record.kind = RecordKind::Request;
    protocol::Description description =
        DescribeFrame(protocol::Role::Request, message, nullptr, record);
    if (m_pending) {
        Unanswered();
    }
    m_tally.Request(*record.slave);
    if (*record.slave != protocol::kBroadcastAddress) {
        m_pending = Pending{record, std::move(description)};
    }
    m_records.Push(std::move(record));
}

void CRequestPairing::Answer(const Bytes& message, MonitorRecord record) {
    record.kind = RecordKind::Answer;
    const bool paired = AnswersPending(*record.slave, *record.function);
    const protocol::Description description = DescribeFrame(
        protocol::Role::Answer, message, paired ? &m_pending->description : nullptr, record);
    const auto answerMs = paired ? PairWithPending(record) : std::nullopt;
    // A paired answer fills in what its request does not say: a FIFO read's count is only in
    // its answer.
    if (paired) {
        record.address = record.address ? record.address : description.address;
        record.count = record.count ? record.count : description.count;
    }
    m_tally.Answer(*record.slave, answerMs);
    m_records.Push(std::move(record));
}

void CRequestPairing::Exception(const Bytes& message, MonitorRecord record) {
    record.kind = RecordKind::Exception;
    if (message.size() > kExceptionCodeAt) {
        record.exception = message[kExceptionCodeAt];
    }
    DescribeFrame(protocol::Role::Answer, message, nullptr, record);
    const bool paired = AnswersPending(*record.slave, *record.function);
    const auto answerMs = paired ? PairWithPending(record) : std::nullopt;
    m_tally.Exception(*record.slave, answerMs);
    m_records.Push(std::move(record));
}

std::optional<double> CRequestPairing::PairWithPending(MonitorRecord& record) {
    record.address = m_pending->record.address;
    record.count = m_pending->record.count;
    record.answerMs =
        std::chrono::duration<double, std::milli>(record.time - m_pending->record.time).count();
    m_pending.reset();
    return record.answerMs;
}

bool CRequestPairing::IsLate(Clock::time_point now) const {
    return m_pending && now - m_pending->record.time >= m_answerTimeout;
}

void CRequestPairing::ExpireIfLate(Clock::time_point now) {
    if (IsLate(now)) {
        Unanswered();
    }
}

void CRequestPairing::Unanswered() {
    m_tally.Unanswered(*m_pending->record.slave);
    m_pending.reset();
}

}  // namespace monitor
