#include "protocol/functions/ReadFileRecord.h"

#include "protocol/DataModel.h"
#include "protocol/Limits.h"
#include "protocol/functions/FieldReading.h"

namespace protocol {
namespace {

constexpr std::size_t kByteCountAt = 1;
constexpr std::size_t kSubRequestsAt = 2;
constexpr std::size_t kFileAt = 1;
constexpr std::size_t kRecordAt = 3;
constexpr std::size_t kLengthAt = 5;
// A sub-answer: its length (of the reference type and the registers), the reference type.
constexpr std::size_t kSubAnswerHead = 2;

PduLength Length(Role /*role*/, PduView have) {
    return CountedLength(have, kByteCountAt);
}

std::optional<Bytes> Serve(PduView request, IDataModel& model, std::uint8_t /*unit*/) {
    const auto ranges = ReadReadFileRecordRequest(request);
    if (!ranges) {
        return IllegalValue(request);
    }
    std::vector<Words> records;
    for (const FileRange& range : *ranges) {
        Words values;
        const std::uint8_t refused =
            model.ReadFileRecord(range.file, range.record, range.length, values);
        if (refused != kNoException) {
            return ExceptionPdu(request[0], refused);
        }
        records.push_back(std::move(values));
    }
    return BuildReadFileRecordAnswer(records);
}

// What the request said of each sub-request's place, paired with the answer's sub-answers
// when it said as many.
std::vector<std::string> FieldsNamed(const Description* request, const std::string& name) {
    std::vector<std::string> values;
    if (request != nullptr) {
        for (const Field& field : request->fields) {
            if (field.name == name) {
                values.push_back(field.value);
            }
        }
    }
    return values;
}

void DescribeAnswer(PduView pdu, const Description* request, Description& out) {
    const auto records = ReadReadFileRecordAnswer(pdu, &out.malformed);
    if (!records) {
        return;
    }
    const auto files = FieldsNamed(request, "file");
    const auto starts = FieldsNamed(request, "record");
    const bool paired = files.size() == records->size() && starts.size() == records->size();
    for (std::size_t i = 0; i < records->size(); ++i) {
        const Words& values = (*records)[i];
        if (paired) {
            out.fields.push_back({"file", files[i]});
            out.fields.push_back({"record", starts[i]});
        }
        out.fields.push_back({"length", std::to_string(values.size())});
        AddFileValuesField(values, out.fields);
        out.values.insert(out.values.end(), values.begin(), values.end());
    }
}

void Describe(Role role, PduView pdu, const Description* request, Description& out) {
    if (role == Role::Answer) {
        DescribeAnswer(pdu, request, out);
    } else if (const auto ranges = ReadReadFileRecordRequest(pdu, &out.malformed)) {
        for (const FileRange& range : *ranges) {
            AddFileRangeFields(range, out.fields);
        }
    }
}

}  // namespace

void PutFileReference(Bytes& pdu, FileRange range) {
    pdu.push_back(kFileReferenceType);
    PutWord(pdu, range.file);
    PutWord(pdu, range.record);
    PutWord(pdu, range.length);
}

std::optional<FileRange> ReadFileReference(PduView pdu, std::size_t at, std::string* why) {
    if (pdu.size() < at + kFileReferenceSize) {
        return Refuse<FileRange>(
            why, "a sub-request at byte " + std::to_string(at) + " runs past the frame");
    }
    if (pdu[at] != kFileReferenceType) {
        return Refuse<FileRange>(why, "reference type " + std::to_string(pdu[at]) + " where " +
                                          std::to_string(kFileReferenceType) + " belongs");
    }
    const FileRange range{WordAt(pdu, at + kFileAt), WordAt(pdu, at + kRecordAt),
                          WordAt(pdu, at + kLengthAt)};
    if (range.length == 0) {
        return Refuse<FileRange>(why, "a sub-request of no records");
    }
    // Wider than 16 bits, so a long run past the last record cannot wrap to look short.
    const std::uint32_t last = std::uint32_t{range.record} + range.length - 1;
    if (last > kLastFileRecord) {
        return Refuse<FileRange>(why, "records " + std::to_string(range.record) + " to " +
                                          std::to_string(last) + " past the last, " +
                                          std::to_string(kLastFileRecord));
    }
    return range;
}

void AddFileRangeFields(FileRange range, std::vector<Field>& fields) {
    fields.push_back({"file", std::to_string(range.file)});
    fields.push_back({"record", std::to_string(range.record)});
    fields.push_back({"length", std::to_string(range.length)});
}

void AddFileValuesField(const Words& values, std::vector<Field>& fields) {
    std::string text;
    for (const std::uint16_t value : values) {
        text += (text.empty() ? "" : " ") + Hex16(value);
    }
    fields.push_back({"values", text});
}

Bytes BuildReadFileRecordRequest(const std::vector<FileRange>& ranges) {
    Bytes pdu =
        NewPdu({kReadFileRecord, static_cast<std::uint8_t>(kFileReferenceSize * ranges.size())});
    for (const FileRange& range : ranges) {
        PutFileReference(pdu, range);
    }
    return pdu;
}

std::optional<std::vector<FileRange>> ReadReadFileRecordRequest(PduView pdu, std::string* why) {
    using Ranges = std::vector<FileRange>;
    if (!HasAtLeast(pdu, kSubRequestsAt, why)) {
        return std::nullopt;
    }
    const std::size_t byteCount = pdu[kByteCountAt];
    if (byteCount < kMinFileByteCount || byteCount > kMaxFileByteCount) {
        return Refuse<Ranges>(why, "byte count " + std::to_string(byteCount) + " outside " +
                                       std::to_string(kMinFileByteCount) + " to " +
                                       std::to_string(kMaxFileByteCount));
    }
    if (byteCount % kFileReferenceSize != 0) {
        return Refuse<Ranges>(why, "byte count " + std::to_string(byteCount) +
                                       " holds no whole number of sub-requests");
    }
    if (!HasSize(pdu, kSubRequestsAt + byteCount, why)) {
        return std::nullopt;
    }
    Ranges ranges;
    for (std::size_t at = kSubRequestsAt; at < pdu.size(); at += kFileReferenceSize) {
        const auto range = ReadFileReference(pdu, at, why);
        if (!range) {
            return std::nullopt;
        }
        ranges.push_back(*range);
    }
    const std::size_t answer = ReadFileRecordAnswerLength(ranges);
    if (answer > kMaxPdu) {
        return Refuse<Ranges>(why, "an answer of " + std::to_string(answer) +
                                       " bytes, more than a PDU's " + std::to_string(kMaxPdu));
    }
    return ranges;
}

std::size_t ReadFileRecordAnswerLength(const std::vector<FileRange>& ranges) {
    std::size_t length = kSubRequestsAt;
    for (const FileRange& range : ranges) {
        length += kSubAnswerHead + 2 * static_cast<std::size_t>(range.length);
    }
    return length;
}

Bytes BuildReadFileRecordAnswer(const std::vector<Words>& records) {
    Bytes pdu = NewPdu({kReadFileRecord, 0});
    for (const Words& values : records) {
        pdu.push_back(static_cast<std::uint8_t>(1 + 2 * values.size()));
        pdu.push_back(kFileReferenceType);
        PutWords(pdu, values);
    }
    pdu[kByteCountAt] = static_cast<std::uint8_t>(pdu.size() - kSubRequestsAt);
    return pdu;
}

std::optional<std::vector<Words>> ReadReadFileRecordAnswer(PduView pdu, std::string* why) {
    using Records = std::vector<Words>;
    if (!HasAtLeast(pdu, kSubRequestsAt, why) ||
        !HasSize(pdu, kSubRequestsAt + pdu[kByteCountAt], why)) {
        return std::nullopt;
    }
    Records records;
    for (std::size_t at = kSubRequestsAt; at < pdu.size();) {
        // A sub-answer's length counts its reference type and its registers.
        const std::size_t length = pdu[at];
        if (length < kSubAnswerHead + 1 || length % 2 == 0) {
            return Refuse<Records>(why, "sub-answer length " + std::to_string(length) +
                                            " is no reference type and whole registers");
        }
        if (at + 1 + length > pdu.size()) {
            return Refuse<Records>(
                why, "a sub-answer at byte " + std::to_string(at) + " runs past the frame");
        }
        if (pdu[at + 1] != kFileReferenceType) {
            return Refuse<Records>(why, "reference type " + std::to_string(pdu[at + 1]) +
                                            " where " + std::to_string(kFileReferenceType) +
                                            " belongs");
        }
        records.push_back(WordsAt(pdu, at + kSubAnswerHead, (length - 1) / 2));
        at += 1 + length;
    }
    if (records.empty()) {
        return Refuse<Records>(why, "no sub-answers");
    }
    return records;
}

const FunctionEntry kReadFileRecordFunction{kReadFileRecord, "Read File Record", Length, Serve,
                                            Describe};

}  // namespace protocol
