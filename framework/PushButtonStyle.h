#pragma once

#include <QProxyStyle>

class QPushButton;

// Push buttons keep the desktop style's face and gain the platform's two keyboard cues: the
// default button is framed by a one-pixel line in the 3-D dark shadow colour around its edge,
// and the focused one carries a dotted focus rectangle in the button-text colour inside its
// face. As on the platform the push button that has (or, in an inactive window, keeps) the
// window's focus is the default one; while that focus rests elsewhere the window's own default
// button is. Qt's focus and default marks are left out: its focus mark shows only after a key
// has moved the focus.
class CPushButtonStyle : public QProxyStyle {
public:
    // The dotted rectangle's distance from the face's outer edge.
    static constexpr int kFocusInset = 2;

    CPushButtonStyle();

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    // A vertically centred label is centred by its ink, so it keeps clear of the focus
    // rectangle in faces that draw their glyphs high in the line.
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                      bool enabled, const QString& text,
                      QPalette::ColorRole textRole = QPalette::NoRole) const override;

    // Whether `button` shows as the default one now, by the rule above.
    static bool ShowsAsDefault(const QPushButton& button);

private:
    // The default mark moves when the focus enters or leaves a push button.
    void RepaintButtonsOf(const QWidget* window);
};
