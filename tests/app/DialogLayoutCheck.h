#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QWidget>

#include "controls/OXStatusBar.h"
#include "framework/GroupBox.h"

// What a person would see cut off in a dialog: a control outside the client area, or a text
// wider or taller than the room its control gives it. Returns one line per fault.
inline QStringList ClippedTexts(const QWidget* dialog) {
    QStringList faults;
    const QRect client = dialog->rect();
    for (const QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisibleTo(dialog)) {
            continue;
        }
        const QString name = w->objectName();
        if (!client.contains(w->geometry())) {
            faults << name + QStringLiteral(" lies outside the dialog");
        }
        const QFontMetrics fm = w->fontMetrics();
        auto check = [&](const QString& text, int room, int height) {
            if (fm.horizontalAdvance(text) > room || fm.height() > height) {
                faults << QStringLiteral("%1: \"%2\" needs %3x%4, has %5x%6")
                              .arg(name, text)
                              .arg(fm.horizontalAdvance(text))
                              .arg(fm.height())
                              .arg(room)
                              .arg(height);
            }
        };
        if (auto* label = qobject_cast<const QLabel*>(w); label && !label->text().isEmpty()) {
            check(label->text(), label->contentsRect().width(), label->contentsRect().height());
        } else if (auto* box = qobject_cast<const QGroupBox*>(w)) {
            check(box->title(), box->width() - 2 * CGroupBox::kTitleIndent, box->height());
        } else if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) {
            const bool radio = qobject_cast<const QRadioButton*>(w) != nullptr;
            const QStyle* style = w->style();
            const int indicator = style->pixelMetric(
                radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth, nullptr, w);
            const int spacing = style->pixelMetric(
                radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing,
                nullptr, w);
            const auto* button = static_cast<const QAbstractButton*>(w);
            check(button->text(), w->width() - indicator - spacing, w->height());
        } else if (auto* push = qobject_cast<const QPushButton*>(w)) {
            check(push->text(), push->width() - 4, push->height() - 2);
        } else if (auto* combo = qobject_cast<const QComboBox*>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.frame = combo->hasFrame();
            const QRect field = w->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, combo);
            for (int i = 0; i < combo->count(); ++i) {
                check(combo->itemText(i), field.width(), field.height());
            }
        } else if (auto* edit = qobject_cast<const QLineEdit*>(w)) {
            check(edit->text(), edit->width() - 4, edit->height());
        }
    }
    return faults;
}

// Pane texts wider than the room the bar gives them: the pane less its border and indent.
inline QStringList ClippedPaneTexts(const COXStatusBar& bar) {
    QStringList faults;
    for (int i = 0; i < bar.GetCount(); ++i) {
        const CRect item = bar.GetItemRect(i);
        const int room = item.right - 1 - (item.left + COXStatusBar::kTextIndent);
        const int need = bar.fontMetrics().horizontalAdvance(bar.GetPaneText(i));
        if (need > room || bar.fontMetrics().height() > item.Height() - 2) {
            faults << QStringLiteral("pane %1: \"%2\" needs %3, has %4")
                          .arg(QString::number(i), bar.GetPaneText(i))
                          .arg(need)
                          .arg(room);
        }
    }
    return faults;
}

// Saves the dialog's picture when VORNAK_SHOT_DIR names a folder, to look at it by eye.
inline void SaveDialogShot(QWidget* dialog, const QString& name) {
    const QString dir = qEnvironmentVariable("VORNAK_SHOT_DIR");
    if (!dir.isEmpty()) {
        dialog->grab().save(QDir(dir).filePath(QStringLiteral("dlg-%1.png").arg(name)));
    }
}
