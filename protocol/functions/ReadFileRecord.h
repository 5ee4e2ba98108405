#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/FunctionTable.h"

namespace protocol {

// Function 20: several reads of file records in one request.
// Request: byte count (kMinFileByteCount to kMaxFileByteCount), then sub-requests of reference
// type, file, record (0 to kLastFileRecord) and length. Answer: data length, then per
// sub-request its own length, the reference type and the registers.
struct FileRange {
    std::uint16_t file = 0;
    std::uint16_t record = 0;
    std::uint16_t length = 0;

    friend bool operator==(const FileRange&, const FileRange&) = default;
};

// The head of a sub-request, the same in functions 20 and 21.
constexpr std::size_t kFileReferenceSize = 7;
void PutFileReference(Bytes& pdu, FileRange range);
// The head at pdu[at]: the reference type, and a length of records that all lie in a file.
std::optional<FileRange> ReadFileReference(PduView pdu, std::size_t at, std::string* why);
// A monitor's fields for a sub-request: file, record and length; and its registers, as Hex16.
void AddFileRangeFields(FileRange range, std::vector<Field>& fields);
void AddFileValuesField(const Words& values, std::vector<Field>& fields);

Bytes BuildReadFileRecordRequest(const std::vector<FileRange>& ranges);
// Every sub-request, and an answer to them all that fits one PDU.
std::optional<std::vector<FileRange>> ReadReadFileRecordRequest(PduView pdu,
                                                                std::string* why = nullptr);
std::size_t ReadFileRecordAnswerLength(const std::vector<FileRange>& ranges);

Bytes BuildReadFileRecordAnswer(const std::vector<Words>& records);
// The registers of each sub-request, in the order asked.
std::optional<std::vector<Words>> ReadReadFileRecordAnswer(PduView pdu, std::string* why = nullptr);

extern const FunctionEntry kReadFileRecordFunction;

}  // namespace protocol
