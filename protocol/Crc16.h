#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Modbus CRC-16 (reflected polynomial 0xA001, initial 0xFFFF), by the standard's table pair.
class CCrc16 {
public:
    virtual ~CCrc16() = default;
    // 0 when the array is empty, length is 0 or length exceeds the array's size.
    std::uint16_t Compute(const std::vector<std::uint8_t>& data, std::size_t length) const;
    static std::uint16_t Compute(const std::uint8_t* data, std::size_t length);
};
