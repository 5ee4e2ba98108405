#pragma once

#include <QFont>
#include <QString>

// The font a template names, at its point size, for Latin and Korean text alike. The named
// face is used when the machine has it; otherwise one known stand-in takes its place, so the
// dialog-unit metrics, and with them every control's room, come from one font rather than
// from whatever the default sans happens to be.
QFont MakeTemplateFont(const QString& face, int pointSize);

// The face that stands in for "돋움" when it is not installed: of Debian's Korean faces the one
// in which every template text fits its rectangle (Baekmuk Gulim, measured; the others clip
// "Quantity", "Time-out(ms)" or "Function Code"). The rest follow in case it is missing.
QStringList TemplateStandInFaces();
