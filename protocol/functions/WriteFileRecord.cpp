#include "protocol/functions/WriteFileRecord.h"

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kByteCountAt = 1;
constexpr std::size_t kSubRequestsAt = 2;

PduLength Length(Role /*role*/, PduView have) {
    return CountedLength(have, kByteCountAt);
}

// Puts back what the first `done` writes overwrote, so a refusal part way leaves the files as
// they were.
void Restore(IDataModel& model, const std::vector<FileWrite>& before, std::size_t done) {
    for (std::size_t i = 0; i < done; ++i) {
        model.WriteFileRecord(before[i].file, before[i].record, before[i].values);
    }
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto writes = ReadWriteFileRecordRequest(request);
    if (!writes) {
        return IllegalValue(request);
    }
    // The model refuses one sub-request at a time; what each would overwrite is kept first,
    // so a request refused anywhere changes nothing.
    std::vector<FileWrite> before;
    for (const FileWrite& write : *writes) {
        FileWrite held{write.file, write.record, {}};
        const auto length = static_cast<std::uint16_t>(write.values.size());
        const std::uint8_t refused =
            model.ReadFileRecord(write.file, write.record, length, held.values);
        if (refused != kNoException) {
            return ExceptionPdu(request[0], refused);
        }
        before.push_back(std::move(held));
    }
    for (std::size_t i = 0; i < writes->size(); ++i) {
        const FileWrite& write = (*writes)[i];
        const std::uint8_t refused = model.WriteFileRecord(write.file, write.record, write.values);
        if (refused != kNoException) {
            Restore(model, before, i);
            return ExceptionPdu(request[0], refused);
        }
    }
    return BuildWriteFileRecordAnswer(*writes);
}

void Describe(Role /*role*/, PduView pdu, const Description* /*request*/, Description& out) {
    // The answer is the request's echo: both sides read alike.
    const auto writes = ReadWriteFileRecordRequest(pdu, &out.malformed);
    if (!writes) {
        return;
    }
    for (const FileWrite& write : *writes) {
        AddFileRangeFields(
            {write.file, write.record, static_cast<std::uint16_t>(write.values.size())},
            out.fields);
        AddFileValuesField(write.values, out.fields);
        out.values.insert(out.values.end(), write.values.begin(), write.values.end());
    }
}

}  // namespace

Bytes BuildWriteFileRecordRequest(const std::vector<FileWrite>& writes) {
    Bytes pdu = NewPdu({kWriteFileRecord, 0});
    for (const FileWrite& write : writes) {
        PutFileReference(
            pdu, {write.file, write.record, static_cast<std::uint16_t>(write.values.size())});
        PutWords(pdu, write.values);
    }
    pdu[kByteCountAt] = static_cast<std::uint8_t>(pdu.size() - kSubRequestsAt);
    return pdu;
}

std::optional<std::vector<FileWrite>> ReadWriteFileRecordRequest(PduView pdu, std::string* why) {
    using Writes = std::vector<FileWrite>;
    if (!HasAtLeast(pdu, kSubRequestsAt, why)) {
        return std::nullopt;
    }
    const std::size_t byteCount = pdu[kByteCountAt];
    if (byteCount < kMinFileByteCount) {
        return Refuse<Writes>(why, "byte count " + std::to_string(byteCount) + " below " +
                                       std::to_string(kMinFileByteCount));
    }
    if (!HasSize(pdu, kSubRequestsAt + byteCount, why)) {
        return std::nullopt;
    }
    Writes writes;
    for (std::size_t at = kSubRequestsAt; at < pdu.size();) {
        const auto range = ReadFileReference(pdu, at, why);
        if (!range) {
            return std::nullopt;
        }
        const std::size_t valuesAt = at + kFileReferenceSize;
        const std::size_t end = valuesAt + 2 * static_cast<std::size_t>(range->length);
        if (end > pdu.size()) {
            return Refuse<Writes>(why, "a sub-request of " + std::to_string(range->length) +
                                           " records at byte " + std::to_string(at) +
                                           " runs past the byte count");
        }
        writes.push_back({range->file, range->record, WordsAt(pdu, valuesAt, range->length)});
        at = end;
    }
    return writes;
}

Bytes BuildWriteFileRecordAnswer(const std::vector<FileWrite>& writes) {
    return BuildWriteFileRecordRequest(writes);
}

std::optional<std::vector<FileWrite>> ReadWriteFileRecordAnswer(PduView pdu, std::string* why) {
    return ReadWriteFileRecordRequest(pdu, why);
}

const FunctionEntry kWriteFileRecordFunction{
    kWriteFileRecord, "Write File Record", Length, Serve, Describe, true};

}  // namespace protocol
