#pragma once

// A message framed the way a slave puts it on the line, for scripted answers.

#include "protocol/Crc16.h"
#include "protocol/Lrc.h"
#include "tests/modbus/ScriptedPort.h"

// RTU: the message and its CRC-16, low byte first.
inline Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = CCrc16::Compute(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// ASCII: ":" hex(message) hex(LRC) CR LF.
inline Bytes AsciiFramed(const Bytes& message) {
    Bytes text{':'};
    Bytes withLrc = message;
    withLrc.push_back(ComputeLrc(message.data(), message.size()));
    for (std::uint8_t b : withLrc) {
        text.push_back(static_cast<std::uint8_t>(NibbleToHexDigit(b >> 4)));
        text.push_back(static_cast<std::uint8_t>(NibbleToHexDigit(b & 0x0F)));
    }
    text.push_back('\r');
    text.push_back('\n');
    return text;
}
