#include "framework/TemplateFont.h"

#include <QStringList>

QFont MakeTemplateFont(const QString& face, int pointSize) {
    QStringList families;
    if (!face.isEmpty()) {
        families << face;
    }
    // Dotum's Latin name, then the Nanum faces that Debian's fonts-nanum ships.
    families << QStringLiteral("Dotum") << QStringLiteral("NanumGothic")
             << QStringLiteral("NanumBarunGothic") << QStringLiteral("Noto Sans CJK KR")
             << QStringLiteral("UnDotum");
    QFont font;
    font.setFamilies(families);
    font.setPointSize(pointSize > 0 ? pointSize : 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
