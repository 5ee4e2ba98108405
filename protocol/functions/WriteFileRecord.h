#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/FunctionTable.h"
#include "protocol/functions/ReadFileRecord.h"

namespace protocol {

// Function 21: several writes of file records in one request.
// Request: byte count, then sub-requests of reference type, file, record, length and the
// registers. The normal answer echoes the request.
struct FileWrite {
    std::uint16_t file = 0;
    std::uint16_t record = 0;
    Words values;

    friend bool operator==(const FileWrite&, const FileWrite&) = default;
};

Bytes BuildWriteFileRecordRequest(const std::vector<FileWrite>& writes);
// Every sub-request whole within the frame, the byte count theirs exactly.
std::optional<std::vector<FileWrite>> ReadWriteFileRecordRequest(PduView pdu,
                                                                 std::string* why = nullptr);

Bytes BuildWriteFileRecordAnswer(const std::vector<FileWrite>& writes);
// The echo, read by the request's own rules.
std::optional<std::vector<FileWrite>> ReadWriteFileRecordAnswer(PduView pdu,
                                                                std::string* why = nullptr);

extern const FunctionEntry kWriteFileRecordFunction;

}  // namespace protocol
