#pragma once

// The document holds no data: a new document does only the base work, and storing or loading
// stores and loads nothing.
class CVornakDoc {
public:
    bool OnNewDocument() { return true; }
    const char* GetRuntimeClassName() const { return "CVornakDoc"; }
    // The untitled document's name in the framework caption.
    static const char* UntitledName() { return "제목없음"; }
};
