#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Takes a fuzz input apart front to back; past its end every field reads as 0.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint16_t Word() {
        const std::uint8_t high = Byte();
        return static_cast<std::uint16_t>(high << 8 | Byte());
    }
    std::vector<std::uint8_t> Rest() {
        std::vector<std::uint8_t> rest(m_data + m_pos, m_data + m_size);
        m_pos = m_size;
        return rest;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};
