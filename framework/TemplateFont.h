#pragma once

#include <QFont>
#include <QString>

// The font a template names, at its point size. When the face is not installed the Korean
// faces of the machine stand in (in order), so Hangul always has glyphs and the dialog-unit
// metrics come from one known font rather than from whatever the default sans happens to be.
QFont MakeTemplateFont(const QString& face, int pointSize);
