#pragma once

// Root of the master's classes: each one names its run-time class.
class CObject {
public:
    virtual ~CObject() = default;
    virtual const char* GetRuntimeClassName() const { return "CObject"; }
};

// Exception base: a heap object thrown by pointer; the catcher deletes it when m_bAutoDelete.
class CException : public CObject {
public:
    explicit CException(bool autoDelete = true) : m_bAutoDelete(autoDelete) {}
    const char* GetRuntimeClassName() const override { return "CException"; }
    virtual bool GetErrorMessage(char* buffer, unsigned capacity,
                                 unsigned* helpContext = nullptr) const = 0;
    void Delete() {
        if (m_bAutoDelete)
            delete this;
    }

    bool m_bAutoDelete;
};
