#pragma once

#include <QString>
#include <cstdint>

#include "platform/IniFile.h"

// The per-user profile: ~/.config/Quorvix/Vornak.ini (XDG_CONFIG_HOME honoured), sections of
// 32-bit integers. A value that is missing or is not an integer reads as the default. The file
// is read when the store is made and written only by Flush.
class CProfileStore {
public:
    CProfileStore();

    std::int32_t GetProfileInt(const QString& section, const QString& entry,
                               std::int32_t defaultValue) const;
    bool WriteProfileInt(const QString& section, const QString& entry, std::int32_t value);
    // Text values, for sections such as "Port Map"; empty when missing.
    QString GetProfileString(const QString& section, const QString& entry) const;
    // Writes the changes to disk; false when the file could not be written, and then it is
    // left as it was.
    bool Flush();
    QString FileName() const;
    // False when the file exists but could not be read; its values then read as their defaults
    // and Flush leaves it as it was.
    bool Readable() const;
    // Why the last read or write failed, for the details of a message box; empty when none did.
    QString ErrorText() const;

private:
    CIniFile m_file;
};
