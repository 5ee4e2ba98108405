#include "protocol/functions/ReadFifoQueue.h"

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kAddressAt = 1;
constexpr std::size_t kRequestSize = 3;
constexpr std::size_t kByteCountAt = 1;
constexpr std::size_t kFifoCountAt = 3;
constexpr std::size_t kValuesAt = 5;
// The byte count counts the FIFO count's own two bytes.
constexpr std::size_t kCountedFrom = kFifoCountAt;

PduLength Length(Role role, PduView have) {
    if (role == Role::Request) {
        return PduLength::Of(kRequestSize);
    }
    if (have.size() < kFifoCountAt) {
        return PduLength::NeedMore(kFifoCountAt);
    }
    return PduLength::Bounded(kCountedFrom + WordAt(have, kByteCountAt));
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto address = ReadReadFifoQueueRequest(request);
    if (!address) {
        return IllegalValue(request);
    }
    Words queue;
    const std::uint8_t refused = model.ReadFifo(*address, queue);
    if (refused != kNoException) {
        return ExceptionPdu(request[0], refused);
    }
    // The protocol answers a queue longer than one answer carries with exception 3.
    if (queue.size() > kMaxFifoCount) {
        return IllegalValue(request);
    }
    return BuildReadFifoQueueAnswer(queue);
}

void Describe(Role role, PduView pdu, const Description* /*request*/, Description& out) {
    if (role == Role::Request) {
        out.address = ReadReadFifoQueueRequest(pdu, &out.malformed);
    } else if (auto queue = ReadReadFifoQueueAnswer(pdu, &out.malformed)) {
        out.count = static_cast<std::uint16_t>(queue->size());
        out.values = std::move(*queue);
    }
}

}  // namespace

Bytes BuildReadFifoQueueRequest(std::uint16_t address) {
    Bytes pdu = NewPdu({kReadFifoQueue});
    PutWord(pdu, address);
    return pdu;
}

std::optional<std::uint16_t> ReadReadFifoQueueRequest(PduView pdu, std::string* why) {
    if (!HasSize(pdu, kRequestSize, why)) {
        return std::nullopt;
    }
    return WordAt(pdu, kAddressAt);
}

Bytes BuildReadFifoQueueAnswer(const Words& queue) {
    Bytes pdu = NewPdu({kReadFifoQueue});
    PutWord(pdu, static_cast<std::uint16_t>(kValuesAt - kCountedFrom + 2 * queue.size()));
    PutWord(pdu, static_cast<std::uint16_t>(queue.size()));
    PutWords(pdu, queue);
    return pdu;
}

std::optional<Words> ReadReadFifoQueueAnswer(PduView pdu, std::string* why) {
    if (!HasAtLeast(pdu, kValuesAt, why)) {
        return std::nullopt;
    }
    const std::uint16_t byteCount = WordAt(pdu, kByteCountAt);
    const std::uint16_t fifoCount = WordAt(pdu, kFifoCountAt);
    if (fifoCount > kMaxFifoCount) {
        return Refuse<Words>(why, "FIFO count " + std::to_string(fifoCount) + " over " +
                                      std::to_string(kMaxFifoCount));
    }
    if (byteCount != kValuesAt - kCountedFrom + 2 * std::size_t{fifoCount}) {
        return Refuse<Words>(why, "byte count " + std::to_string(byteCount) + " for " +
                                      std::to_string(fifoCount) + " registers");
    }
    if (!HasSize(pdu, kValuesAt + 2 * std::size_t{fifoCount}, why)) {
        return std::nullopt;
    }
    return WordsAt(pdu, kValuesAt, fifoCount);
}

const FunctionEntry kReadFifoQueueFunction{kReadFifoQueue, "Read FIFO Queue", Length, Serve,
                                           Describe};

}  // namespace protocol
