#include "framework/GroupBox.h"

#include <QFontMetrics>
#include <QPaintEvent>

#include "framework/Gdi.h"

CGroupBox::CGroupBox(QWidget* parent) : QGroupBox(parent) {}

int CGroupBox::FrameTop() const {
    return QFontMetrics(font()).height() / 2 - 1;
}

void CGroupBox::paintEvent(QPaintEvent*) {
    CDC dc(this);
    const int top = FrameTop();
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    // Etched: a sunken outer ring and a raised inner one.
    dc.Draw3dRect(0, top, width(), height() - top, shadow, light);
    dc.Draw3dRect(1, top + 1, width() - 2, height() - top - 2, light, shadow);
    if (title().isEmpty()) {
        return;
    }
    dc.SelectFont(font());
    // The platform starts the title's cell a row above the box, outside what a widget may
    // paint; it starts on the box's first row here so no glyph loses its top. A pixel of the
    // dialog's own background stays on either side.
    const QSize text = dc.GetTextExtent(title());
    dc.FillSolidRect(kTitleIndent - 1, 0, text.width() + 2, text.height(),
                     RefFromColor(palette().color(QPalette::Window)));
    dc.SetTextColor(isEnabled()
                        ? GetSysColor(COLOR_BTNTEXT)
                        : RefFromColor(palette().color(QPalette::Disabled, QPalette::ButtonText)));
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(kTitleIndent, 0, title());
}
