#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <optional>

// Resources by numeric id, as the program's resource script numbers them.
std::optional<QString> FindStringResource(unsigned id);
// The string, or an empty text when the id has none.
QString LoadStringResource(unsigned id);
// A bitmap resource (lamps 134 and 135, toolbar strip 128); a null image when the id has none.
QImage LoadBitmapResource(unsigned id);
// Icon resource (128, the application icon); a null icon when the id has none.
QIcon LoadIconResource(unsigned id);
