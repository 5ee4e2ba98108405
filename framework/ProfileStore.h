#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QSettings;

// The per-user profile: ~/.config/Quorvix/Vornak.ini (XDG_CONFIG_HOME honoured), sections of
// 32-bit integers. A value that is missing or is not an integer reads as the default.
class CProfileStore {
public:
    CProfileStore();
    ~CProfileStore();

    std::int32_t GetProfileInt(const QString& section, const QString& entry,
                               std::int32_t defaultValue) const;
    bool WriteProfileInt(const QString& section, const QString& entry, std::int32_t value);
    // Text values, for sections such as "Port Map"; empty when missing.
    QString GetProfileString(const QString& section, const QString& entry) const;
    // Writes pending changes to disk; false when the file could not be written.
    bool Flush();
    QString FileName() const;

private:
    std::unique_ptr<QSettings> m_pSettings;
};
