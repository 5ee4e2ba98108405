#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/Pdu.h"

namespace protocol {

class IDataModel;

// Which side of an exchange a PDU is: what the client sends, or what the device answers.
enum class Role : std::uint8_t { Request, Answer };

// What a PDU's first bytes tell of its whole length.
struct PduLength {
    enum class Fit : std::uint8_t {
        Length,    // the PDU is `length` bytes long
        NeedMore,  // the bytes that tell the length have not all come: `length` of them are needed
        Unknown,   // the function's PDUs have no length known from their bytes
        None,      // no such PDU: its fields rule out every length
    };
    Fit fit = Fit::None;
    std::size_t length = 0;

    static PduLength Of(std::size_t length) { return {Fit::Length, length}; }
    static PduLength NeedMore(std::size_t bytes) { return {Fit::NeedMore, bytes}; }
    static PduLength Unknown() { return {Fit::Unknown, 0}; }
    static PduLength None() { return {}; }
    // Of(length), or None when no frame can hold it.
    static PduLength Bounded(std::size_t length);
};

// A field a monitor prints beside the address, count and values: {"sub-function", "4"}.
struct Field {
    std::string name;
    std::string value;
};

// What one request or answer says, in the terms a monitor prints.
struct Description {
    std::optional<std::uint16_t> address;
    std::optional<std::uint16_t> count;
    // Registers read or written; bits as 0 / 1 when bitValues.
    Words values;
    bool bitValues = false;
    std::vector<Field> fields;
    // Why the PDU breaks its function's own rules; empty when it keeps them.
    std::string malformed;
};

// One function of the protocol: how long its PDUs are, how a device serves its request, how a
// monitor reads either side. Each function's file fills one of these; the table lists them.
struct FunctionEntry {
    std::uint8_t code = 0;
    const char* name = "";
    // From the first bytes of a PDU of this function (have[0] is the code, exception flag clear).
    PduLength (*length)(Role role, PduView have) = nullptr;
    // The answer PDU, an exception PDU, or none where the device stays silent. unit is the
    // address the request reached.
    std::optional<Bytes> (*serve)(PduView request, IDataModel& model, std::uint8_t unit) = nullptr;
    // Reads a whole PDU of this function; request is what the request an answer answers said,
    // when it was heard.
    void (*describe)(Role role, PduView pdu, const Description* request,
                     Description& out) = nullptr;
    // Whether a request may go to every device at once: it changes them and reads nothing.
    bool broadcast = false;
};

// The entry of a function code; none for a code the table lacks.
const FunctionEntry* FindFunction(std::uint8_t code);
std::span<const FunctionEntry> Functions();

// The length of any PDU from its first bytes, an exception answer included; Unknown for a
// function the table lacks.
PduLength LengthOf(Role role, PduView have);

// Serves one request PDU through the table: exception 1 for a function it lacks.
std::optional<Bytes> ServeRequest(PduView request, IDataModel& model, std::uint8_t unit);

// Describes a whole PDU through the table, exceptions included; a PDU whose length its
// function rules out is malformed.
Description DescribePdu(Role role, PduView pdu, const Description* request = nullptr);

}  // namespace protocol
