#include "framework/PushButtonStyle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

#include "framework/Gdi.h"

namespace {

// Every other pixel along the rectangle's edge, starting at its top-left corner, as the
// platform's focus rectangle is dotted.
void DrawDottedRect(QPainter& painter, const QRect& rect, const QColor& colour) {
    if (rect.width() < 2 || rect.height() < 2) {
        return;
    }
    const auto dot = [&](int x, int y) {
        if (((x - rect.left() + y - rect.top()) & 1) == 0) {
            painter.fillRect(QRect(x, y, 1, 1), colour);
        }
    };
    for (int x = rect.left(); x <= rect.right(); ++x) {
        dot(x, rect.top());
        dot(x, rect.bottom());
    }
    for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
        dot(rect.left(), y);
        dot(rect.right(), y);
    }
}

}  // namespace

CPushButtonStyle::CPushButtonStyle() {
    // Only a focus that lands somewhere moves the mark: a window's remembered focus stays when
    // the window loses the activation, and a widget being destroyed hands the focus to none.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr) {
            RepaintButtonsOf(now->window());
        }
    });
}

void CPushButtonStyle::RepaintButtonsOf(const QWidget* window) {
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->style() == this) {
            button->update();
        }
    }
}

bool CPushButtonStyle::ShowsAsDefault(const QPushButton& button) {
    const QWidget* focus = button.window()->focusWidget();
    if (focus == &button) {
        return true;
    }
    return button.isDefault() && qobject_cast<const QPushButton*>(focus) == nullptr;
}

void CPushButtonStyle::drawControl(ControlElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (element != CE_PushButton || button == nullptr) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const auto* pushButton = qobject_cast<const QPushButton*>(widget);
    const bool isDefault = pushButton != nullptr
                               ? ShowsAsDefault(*pushButton)
                               : (button->features & QStyleOptionButton::DefaultButton) != 0;
    QStyleOptionButton face = *button;
    face.features &= ~(QStyleOptionButton::DefaultButton | QStyleOptionButton::AutoDefaultButton);
    face.state &= ~State_HasFocus;
    if (isDefault) {
        face.rect.adjust(1, 1, -1, -1);
    }
    QProxyStyle::drawControl(element, &face, painter, widget);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (isDefault) {
        painter->setPen(ColorFromRef(GetSysColor(COLOR_3DDKSHADOW)));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(button->rect.adjusted(0, 0, -1, -1));
    }
    if (button->state & State_HasFocus) {
        const QRect focus =
            face.rect.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
        DrawDottedRect(*painter, focus, ColorFromRef(GetSysColor(COLOR_BTNTEXT)));
    }
    painter->restore();
}

void CPushButtonStyle::drawItemText(QPainter* painter, const QRect& rect, int flags,
                                    const QPalette& palette, bool enabled, const QString& text,
                                    QPalette::ColorRole textRole) const {
    QRect placed = rect;
    if ((flags & Qt::AlignVCenter) && !text.isEmpty() && !text.contains(QLatin1Char('\n'))) {
        QString shown = text;
        if (flags & Qt::TextShowMnemonic) {
            shown.remove(QLatin1Char('&'));
        }
        const QRect ink = QFontMetrics(painter->font()).tightBoundingRect(shown);
        const QRect line = painter->boundingRect(rect, flags, text);
        if (!ink.isEmpty() && line.isValid()) {
            const int baseline = line.top() + QFontMetrics(painter->font()).ascent();
            const int wantedTop = rect.top() + (rect.height() - ink.height()) / 2;
            placed.translate(0, wantedTop - (baseline + ink.top()));
        }
    }
    QProxyStyle::drawItemText(painter, placed, flags, palette, enabled, text, textRole);
}
