#pragma once

#include <string>

#include "Object.h"

// Carries a failed request when the master is set to throw (it never is in this program).
class CModbusException : public CException {
public:
    CModbusException(const std::string& text, int code);
    const char* GetRuntimeClassName() const override { return "CModbusException"; }

    // "%s error #%d" (or "%s error" for code 0), cut to capacity - 1 characters.
    bool GetErrorMessage(char* buffer, unsigned capacity,
                         unsigned* helpContext = nullptr) const override;

    int m_nError;
    std::string m_strError;
};
