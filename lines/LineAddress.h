#pragma once

#include <optional>
#include <string>

#include "SerialPort.h"

// What carries a line: a local tty, a serial device server over TCP, or Modbus TCP, UDP or
// Modbus TCP inside TLS.
enum class LineKind { Tty, Socket, Rfc2217, Tcp, Udp, Tls };

// The files a TLS line authenticates with: its own certificate and key, and the CA that signs
// the devices' certificates. All PEM.
struct TlsFiles {
    std::string cert;
    std::string key;
    std::string ca;
};

// A mapped device in the URL style of pyserial: a path, "socket://HOST:PORT",
// "rfc2217://HOST:PORT", "tcp://HOST[:PORT]" or "udp://HOST[:PORT]" (port 502 when left out),
// "tls://HOST[:PORT]?cert=FILE&key=FILE&ca=FILE" (port 802), with options after "?" as
// "name&name=value".
struct LineAddress {
    LineKind kind = LineKind::Tty;
    std::string target;  // the path, or HOST:PORT (the default port filled in)
    bool echo = false;
    bool rs485 = false;
    Rs485Settings rs485Settings;
    bool lowLatency = true;
    TlsFiles tls;  // tls:// only
};

// The address, or nullopt with the reason in error: the option or part at fault and what is
// accepted there.
std::optional<LineAddress> ParseLineAddress(const std::string& device, std::string& error);

// Where a device string holds a control character (a NUL would cut the path short when it is
// opened): "a control character (0x00) at byte 12"; nullopt when it holds none.
std::optional<std::string> ControlCharacterFault(const std::string& device);

// "tty", "socket://", "rfc2217://", "tcp://", "udp://", "tls://".
const char* LineKindName(LineKind kind);

// tcp://, udp:// and tls://: Modbus frames with the MBAP header, which take no serial setting.
bool IsModbusNetwork(LineKind kind);

// What becomes of the dialog's line settings on a line of this kind, as a tooltip says it;
// nullptr for a local device, which takes them.
const char* LineSettingsNote(LineKind kind);

// The device without its options, as a person reads it in a trace or a tooltip.
std::string LineTarget(const std::string& device);
