#pragma once

// A scroll bar laid out as the platform lays it out: an arrow button at each end, as long as
// the bar is thick (half the bar each when it is shorter than two), the track between them,
// and a thumb whose length is the track's share of the page, at least 8 pixels.

#include <QtGlobal>
#include <optional>

#include "framework/Gdi.h"
#include "framework/NonClientArea.h"

class QScrollBar;

struct CScrollBarParts {
    CRect firstArrow;
    CRect secondArrow;
    CRect track;
    // None when the page is 0 or larger than the range, or the track is shorter than 8.
    std::optional<CRect> thumb;
};

CScrollBarParts ScrollBarParts(const CRect& bar, Qt::Orientation orientation, int arrow,
                               const SCROLLINFO& info);

// Paints, and answers the mouse on, `bar` with that layout; its style's look stays.
void UsePlatformScrollBarGeometry(QScrollBar* bar);
