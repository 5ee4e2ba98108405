#include "framework/TemplateFont.h"

#include <QFontDatabase>
#include <QStringList>

QStringList TemplateStandInFaces() {
    return {QStringLiteral("Baekmuk Gulim"), QStringLiteral("NanumGothic"),
            QStringLiteral("Baekmuk Dotum"), QStringLiteral("UnDotum"),
            QStringLiteral("Noto Sans CJK KR")};
}

QFont MakeTemplateFont(const QString& face, int pointSize) {
    QStringList families;
    // Only a face that is really installed: fontconfig would answer any other name with its
    // default sans, whose Latin letters are wider than the templates allow.
    const QStringList installed = QFontDatabase::families();
    for (const QString& name : {face, QStringLiteral("Dotum")}) {
        if (!name.isEmpty() && installed.contains(name, Qt::CaseInsensitive)) {
            families << name;
        }
    }
    families << TemplateStandInFaces();
    QFont font;
    font.setFamilies(families);
    font.setPointSize(pointSize > 0 ? pointSize : 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
