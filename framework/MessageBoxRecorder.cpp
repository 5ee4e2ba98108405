#include "framework/MessageBoxRecorder.h"

CMessageBoxRecorder::CMessageBoxRecorder(int result) {
    m_previous = SetMessageBoxHook([this, result](const MessageBoxRecord& r) -> std::optional<int> {
        m_boxes.push_back(r);
        return result;
    });
}

CMessageBoxRecorder::~CMessageBoxRecorder() {
    SetMessageBoxHook(std::move(m_previous));
}
