#include "framework/GuiFont.h"

#include <QStringList>

#include "framework/TemplateFont.h"

QFont DefaultGuiFont() {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("NanumGothic")} +
                     TemplateStandInFaces());
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}
