#include "framework/ProfileStore.h"

#include <limits>

#include "platform/ProfilePath.h"

CProfileStore::CProfileStore() : m_file(ProfilePath()) {
    m_file.Load();
}

std::int32_t CProfileStore::GetProfileInt(const QString& section, const QString& entry,
                                          std::int32_t defaultValue) const {
    const std::optional<std::string> text =
        m_file.GetValue(section.toStdString(), entry.toStdString());
    if (!text)
        return defaultValue;
    bool ok = false;
    const qlonglong n = QString::fromStdString(*text).trimmed().toLongLong(&ok, 10);
    if (!ok || n < std::numeric_limits<std::int32_t>::min() ||
        n > std::numeric_limits<std::int32_t>::max()) {
        return defaultValue;
    }
    return static_cast<std::int32_t>(n);
}

bool CProfileStore::WriteProfileInt(const QString& section, const QString& entry,
                                    std::int32_t value) {
    m_file.SetValue(section.toStdString(), entry.toStdString(), std::to_string(value));
    return true;
}

QString CProfileStore::GetProfileString(const QString& section, const QString& entry) const {
    return QString::fromStdString(
        m_file.GetValue(section.toStdString(), entry.toStdString()).value_or(std::string()));
}

bool CProfileStore::Flush() {
    return m_file.Save();
}

QString CProfileStore::FileName() const {
    return QString::fromStdString(m_file.Path());
}

bool CProfileStore::Readable() const {
    return m_file.Readable();
}

QString CProfileStore::ErrorText() const {
    return QString::fromStdString(m_file.ErrorText());
}
