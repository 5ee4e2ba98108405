#include "modbus/ModbusException.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr std::size_t kMaxMessageLength = 200;
}

CModbusException::CModbusException(const std::string& text, int code)
    : m_nError(code), m_strError(text) {}

bool CModbusException::GetErrorMessage(char* buffer, unsigned capacity,
                                       unsigned* /*helpContext*/) const {
    char message[kMaxMessageLength + 1];
    if (m_nError != 0) {
        std::snprintf(message, sizeof message, "%s error #%d", m_strError.c_str(), m_nError);
    } else {
        std::snprintf(message, sizeof message, "%s error", m_strError.c_str());
    }
    if (buffer == nullptr || capacity == 0) {
        return true;
    }
    const std::size_t length = std::min<std::size_t>(std::strlen(message), capacity - 1);
    std::memcpy(buffer, message, length);
    buffer[length] = '\0';
    return true;
}
