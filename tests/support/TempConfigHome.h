#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

// Points XDG_CONFIG_HOME at a fresh folder for one test, so the profile store starts empty
// and the user's own settings are never touched.
class CTempConfigHome {
public:
    CTempConfigHome()
        : m_previous(qgetenv("XDG_CONFIG_HOME")),
          m_bHad(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
    }
    ~CTempConfigHome() {
        if (m_bHad) {
            qputenv("XDG_CONFIG_HOME", m_previous);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }
    CTempConfigHome(const CTempConfigHome&) = delete;
    CTempConfigHome& operator=(const CTempConfigHome&) = delete;

    QString IniPath() const { return m_dir.path() + QStringLiteral("/Quorvix/Vornak.ini"); }

    // Writes the INI file by hand, as a user editing it would.
    bool WriteIni(const QByteArray& text) const {
        QDir().mkpath(m_dir.path() + QStringLiteral("/Quorvix"));
        QFile f(IniPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return f.write(text) == text.size();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_bHad;
};
