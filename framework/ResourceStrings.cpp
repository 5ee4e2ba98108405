#include "framework/ResourceStrings.h"

#include <QStringList>

QString PromptPart(const QString& commandString) {
    const qsizetype nl = commandString.indexOf(QLatin1Char('\n'));
    return nl < 0 ? commandString : commandString.left(nl);
}

QString TooltipPart(const QString& commandString) {
    const qsizetype nl = commandString.indexOf(QLatin1Char('\n'));
    if (nl < 0) {
        return QString();
    }
    // Only the field right after the prompt: any further newline ends the tooltip.
    const QString rest = commandString.mid(nl + 1);
    const qsizetype next = rest.indexOf(QLatin1Char('\n'));
    return next < 0 ? rest : rest.left(next);
}

QString StringField(const QString& text, int index) {
    if (index < 0) {
        return QString();
    }
    const QStringList fields = text.split(QLatin1Char('\n'));
    return index < fields.size() ? fields.at(index) : QString();
}
