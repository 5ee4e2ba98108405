#include "framework/ProfileStore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <limits>

namespace {

constexpr char kOrganisation[] = "Quorvix";
constexpr char kApplication[] = "Vornak";

// The file QSettings' user scope names for the INI format. Worked out here on every
// construction because QSettings keeps the first XDG_CONFIG_HOME it saw for the whole
// process, and a store must follow the environment it is created in.
QString ProfilePath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QLatin1Char('/') + QLatin1String(kOrganisation) + QLatin1Char('/') +
           QLatin1String(kApplication) + QStringLiteral(".ini");
}

QString Key(const QString& section, const QString& entry) {
    return section + QLatin1Char('/') + entry;
}

}  // namespace

CProfileStore::CProfileStore()
    : m_pSettings(std::make_unique<QSettings>(ProfilePath(), QSettings::IniFormat)) {}

CProfileStore::~CProfileStore() = default;

std::int32_t CProfileStore::GetProfileInt(const QString& section, const QString& entry,
                                          std::int32_t defaultValue) const {
    const QVariant v = m_pSettings->value(Key(section, entry));
    if (!v.isValid() || v.userType() != QMetaType::QString) {
        // Missing, or a list (a value with commas): not an integer.
        return defaultValue;
    }
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok, 10);
    if (!ok || n < std::numeric_limits<std::int32_t>::min() ||
        n > std::numeric_limits<std::int32_t>::max()) {
        return defaultValue;
    }
    return static_cast<std::int32_t>(n);
}

bool CProfileStore::WriteProfileInt(const QString& section, const QString& entry,
                                    std::int32_t value) {
    m_pSettings->setValue(Key(section, entry), QString::number(value));
    return m_pSettings->status() == QSettings::NoError;
}

QString CProfileStore::GetProfileString(const QString& section, const QString& entry) const {
    const QVariant v = m_pSettings->value(Key(section, entry));
    if (v.userType() == QMetaType::QStringList) {
        // An unquoted value with commas reads back as a list; it was one text.
        return v.toStringList().join(QLatin1Char(','));
    }
    return v.toString();
}

bool CProfileStore::Flush() {
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError;
}

QString CProfileStore::FileName() const {
    return m_pSettings->fileName();
}
