#pragma once

#include <QAbstractItemDelegate>

class COXHotComboBox;

// The rows of a flat combo box's drop-down list, drawn and measured by the combo itself
// (DrawItem, MeasureItem), so the open list places its texts as the closed box does.
class COXComboListDelegate : public QAbstractItemDelegate {
public:
    explicit COXComboListDelegate(COXHotComboBox* combo);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    COXHotComboBox* m_pCombo;
};
