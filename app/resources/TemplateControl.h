#pragma once

#include <QStringList>
#include <cstdint>

#include "framework/DialogTemplate.h"

// Shorthand for the template tables: one line per control.
inline ControlTemplate Control(int id, ControlKind kind, const char* text, int x, int y, int cx,
                               int cy, std::uint32_t style, QStringList items = {}, int limit = 0,
                               unsigned resource = 0) {
    return ControlTemplate{id,    kind,    QString::fromUtf8(text), x, y, cx, cy, style, items,
                           limit, resource};
}

inline constexpr char kTemplateFontFace[] = "돋움";
inline constexpr int kTemplatePointSize = 9;
