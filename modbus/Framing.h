#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "modbus/ExchangeLine.h"
#include "modbus/Modbus.h"

enum class FramingKind : std::uint8_t { Rtu, Ascii, Mbap };

#include "protocol/FunctionCode.h"

using protocol::kExceptionFlag;

// One way of carrying a Modbus message (address or unit, function, data) on a line: the
// application data unit around it, how one answer is read off the line within its bounds, and
// how that answer is checked and stripped back to its message. The master runs every exchange
// through one of these: wrap, purge, write, read, unwrap.
class CFraming {
public:
    virtual ~CFraming() = default;

    // The read and write time-outs the port opens with.
    virtual SerialTimeouts PortTimeouts(const LineTimes& times) const = 0;
    // The bytes to send for request[0, length); they stay valid until the next call.
    virtual std::span<const std::uint8_t> Wrap(ByteArray& request, std::uint16_t length) = 0;
    // Where the framing can tell, ends the next Read as soon as an answer of this message
    // length (or an exception) is in; 0 waits for the line's silence.
    virtual void EndAnswerAt(std::uint16_t /*length*/) {}
    // Reads the answer to the request last wrapped: kModbusOk with what came held (perhaps
    // nothing), or the code of the failure.
    virtual std::uint16_t Read(CExchangeLine& line) = 0;
    // Checks the answer held; when it is good, its message goes to response, its length to
    // *received (when given). A failure leaves both alone.
    virtual std::uint16_t Unwrap(std::uint16_t expectedLength, ByteArray& response,
                                 std::uint16_t* received) = 0;
    // What the trace adds to the result of the exchange just ended; empty for nothing.
    virtual std::string Remark() const { return {}; }
};

std::unique_ptr<CFraming> MakeRtuFraming();
std::unique_ptr<CFraming> MakeAsciiFraming();
std::unique_ptr<CFraming> MakeMbapFraming();
