#include "controls/OXComboListDelegate.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyleOptionViewItem>

#include "controls/OXHotComboBox.h"
#include "framework/ControlLookup.h"

COXComboListDelegate::COXComboListDelegate(COXHotComboBox* combo)
    : QAbstractItemDelegate(combo), m_pCombo(combo) {}

void COXComboListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    painter->save();
    CDC dc(*painter);
    DRAWITEMSTRUCT item;
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = ControlId(m_pCombo);
    item.itemID = index.row();
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = (option.state & QStyle::State_Selected) ? ODS_SELECTED : 0;
    item.hwndItem = m_pCombo->view();
    item.pDC = &dc;
    item.rcItem = CRect::FromQRect(option.rect);
    item.itemData = m_pCombo->GetItemData(index.row());
    m_pCombo->DrawItem(item);
    painter->restore();
}

QSize COXComboListDelegate::sizeHint(const QStyleOptionViewItem& /*option*/,
                                     const QModelIndex& index) const {
    MEASUREITEMSTRUCT item;
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = ControlId(m_pCombo);
    item.itemID = index.row();
    item.itemData = m_pCombo->GetItemData(index.row());
    m_pCombo->MeasureItem(item);
    // The text's width and the one-pixel inset DrawItem gives it on either side.
    const int width =
        QFontMetrics(m_pCombo->font()).horizontalAdvance(m_pCombo->GetLBText(index.row()));
    return QSize(width + 4, item.itemHeight);
}
