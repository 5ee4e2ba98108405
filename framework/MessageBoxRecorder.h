#pragma once

#include <vector>

#include "framework/MessageBox.h"

// Records every message box while it lives instead of showing it, answering each with
// `result`; the previous hook comes back when it goes. For tests of code that reports errors.
class CMessageBoxRecorder {
public:
    explicit CMessageBoxRecorder(int result = 1);
    ~CMessageBoxRecorder();
    CMessageBoxRecorder(const CMessageBoxRecorder&) = delete;
    CMessageBoxRecorder& operator=(const CMessageBoxRecorder&) = delete;

    const std::vector<MessageBoxRecord>& Boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

private:
    std::vector<MessageBoxRecord> m_boxes;
    MessageBoxHook m_previous;
};
