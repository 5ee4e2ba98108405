#pragma once

#include <QString>

// A command's string resource holds "prompt\ntooltip".
QString PromptPart(const QString& commandString);
QString TooltipPart(const QString& commandString);

// Field `index` of a newline-separated resource string (the document-template string); an
// empty text when the string has fewer fields.
QString StringField(const QString& text, int index);
