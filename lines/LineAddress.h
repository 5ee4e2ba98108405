#pragma once

#include <optional>
#include <string>

#include "SerialPort.h"

// What carries a line: a local tty, or a serial device server over TCP.
enum class LineKind { Tty, Socket, Rfc2217 };

// A mapped device in the URL style of pyserial: a path, "socket://HOST:PORT" or
// "rfc2217://HOST:PORT", with options after "?" as "name&name=value".
struct LineAddress {
    LineKind kind = LineKind::Tty;
    std::string target;  // the path, or HOST:PORT
    bool echo = false;
    bool rs485 = false;
    Rs485Settings rs485Settings;
    bool lowLatency = true;
};

// The address, or nullopt with the reason in error: the option or part at fault and what is
// accepted there.
std::optional<LineAddress> ParseLineAddress(const std::string& device, std::string& error);

// Where a device string holds a control character (a NUL would cut the path short when it is
// opened): "a control character (0x00) at byte 12"; nullopt when it holds none.
std::optional<std::string> ControlCharacterFault(const std::string& device);

// The device without its options, as a person reads it in a trace or a tooltip.
std::string LineTarget(const std::string& device);
