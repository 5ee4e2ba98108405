#include "framework/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtKoreanTranslation() {
    static bool installed = false;
    if (installed)
        return true;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ko"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        qWarning(
            "vornak: Qt's Korean translation qtbase_ko.qm could not be loaded from %s; "
            "standard texts stay in English (Debian package qt6-translations-l10n)",
            qUtf8Printable(folder));
        delete translator;
        return false;
    }
    installed = true;
    return true;
}
