#pragma once

#include <QString>

#include <ostream>

// Lets GoogleTest print QString values as text in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
