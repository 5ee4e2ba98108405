#include "scan/ResponseListCtrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>
#include <algorithm>

#include "framework/Gdi.h"
#include "framework/ScrollBarGeometry.h"
#include "framework/SharedStyle.h"

namespace {

QColor GridColour() {
    return ColorFromRef(GetSysColor(COLOR_BTNFACE));
}

// Grid lines in the button face, as the platform's list draws them.
class CGridLineStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Table_GridLineColor) {
            return static_cast<int>(GridColour().rgba());
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The selection mark that a rebuild carries over is no focused line: a replaced line has lost
// its focus with its selection, so only a selected line shows the focus.
class CLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!(option->state & QStyle::State_Selected)) {
            option->state &= ~QStyle::State_HasFocus;
        }
    }
};

}  // namespace

CResponseListCtrl::CResponseListCtrl(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new CLineDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setStyle(SharedStyle<CGridLineStyle>());
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    UsePlatformScrollBarGeometry(horizontalScrollBar());
    UsePlatformScrollBarGeometry(verticalScrollBar());
}

void CResponseListCtrl::SetupColumns() {
    setColumnCount(1);
    auto* header = new QTableWidgetItem(QStringLiteral("Slave Response Display"));
    header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalHeaderItem(0, header);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    setColumnWidth(0, kColumnWidth);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
    SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
}

void CResponseListCtrl::SetExtendedStyle(std::uint32_t style) {
    m_dwExStyle = style;
    setShowGrid(style & LVS_EX_GRIDLINES);
    setSelectionBehavior((style & LVS_EX_FULLROWSELECT) ? QAbstractItemView::SelectRows
                                                        : QAbstractItemView::SelectItems);
}

// The selection stays visible while another control has the focus, on the button face as the
// platform's lists show it, so the highlight says where the keyboard is.
void CResponseListCtrl::initViewItemOption(QStyleOptionViewItem* option) const {
    QTableWidget::initViewItemOption(option);
    if (hasFocus()) {
        return;
    }
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        option->palette.setColor(group, QPalette::Highlight,
                                 option->palette.color(group, QPalette::Button));
        option->palette.setColor(group, QPalette::HighlightedText,
                                 option->palette.color(group, QPalette::ButtonText));
    }
}

// A replaced line loses its selected state; only the selection mark is carried over. The
// selection is cleared first: removing the current line would make the view select the next.
void CResponseListCtrl::DeleteItem(int index) {
    if (index < 0 || index >= rowCount())
        return;
    ClearSelection();
    removeRow(index);
    m_bRowsMoved = true;
}

void CResponseListCtrl::InsertItem(int index, const QString& text) {
    insertRow(index);
    setItem(index, 0, new QTableWidgetItem(text));
    m_bRowsMoved = true;
}

// The item keeps its row, so neither the scroll range nor the other rows change; only the
// selection goes, as it would with the item.
void CResponseListCtrl::ReplaceItem(int index, const QString& text) {
    QTableWidgetItem* it = item(index, 0);
    if (it == nullptr) {
        DeleteItem(index);
        InsertItem(index, text);
        return;
    }
    ClearSelection();
    if (it->text() != text) {
        it->setText(text);
        m_changedRows.insert(index);
    }
}

void CResponseListCtrl::ClearSelection() {
    QItemSelectionModel* selection = selectionModel();
    if (!selection->hasSelection() && !selection->currentIndex().isValid())
        return;
    for (const QModelIndex& index : selection->selectedIndexes())
        m_changedRows.insert(index.row());
    if (selection->currentIndex().isValid())
        m_changedRows.insert(selection->currentIndex().row());
    selection->clear();
}

QString CResponseListCtrl::ItemText(int index) const {
    const QTableWidgetItem* it = item(index, 0);
    return it ? it->text() : QString();
}

int CResponseListCtrl::SelectionMark() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CResponseListCtrl::SetSelectionMark(int index) {
    m_changedRows.insert(index);
    selectionModel()->setCurrentIndex(model()->index(index, 0), QItemSelectionModel::NoUpdate);
}

// Qt paints only from the event loop or on an explicit repaint, never in the middle of a
// rebuild, so nothing needs holding back; switching Qt's updates off and on again would
// repaint the header and scroll bars as well. While redrawing is off the control notes which
// lines changed instead.
void CResponseListCtrl::SetRedraw(bool on) {
    if (!on && m_bRedraw) {
        m_changedRows.clear();
        m_bRowsMoved = false;
        m_bTracking = true;
    }
    m_bRedraw = on;
}

// After a rebuild that only replaced texts, the lines that look different are repainted and
// the others, which would be drawn with the same pixels, are left alone: at a short scan
// period most values stay as they were. Anything else repaints the whole list.
void CResponseListCtrl::Invalidate() {
    if (!m_bTracking || m_bRowsMoved) {
        viewport()->update();
    } else {
        const int width = viewport()->width();
        for (int row : m_changedRows) {
            if (row >= 0 && row < rowCount())
                viewport()->update(0, rowViewportPosition(row), width, rowHeight(row));
        }
    }
    m_bTracking = false;
    m_changedRows.clear();
    m_bRowsMoved = false;
}

int CResponseListCtrl::HitTest(const QPoint& viewportPos) const {
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

void CResponseListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableWidget::mouseDoubleClickEvent(event);
    emit listDoubleClicked(HitTest(event->position().toPoint()));
}

// The lines draw their own rules; the platform rules the rest of the list as well: the row
// rules go on across the whole width and down to the bottom at the line height, and each
// column's rule runs down to the bottom.
void CResponseListCtrl::paintEvent(QPaintEvent* event) {
    QTableWidget::paintEvent(event);
    if (!showGrid()) {
        return;
    }
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    painter.setPen(GridColour());
    const int width = viewport()->width();
    const int height = viewport()->height();
    const int columnsEnd = horizontalHeader()->length() - horizontalOffset();
    const int rows = rowCount();
    const int rowsEnd = rows > 0 ? rowViewportPosition(rows - 1) + rowHeight(rows - 1) : 0;
    for (int row = rowAt(0); row >= 0 && row < rows; ++row) {
        const int y = rowViewportPosition(row) + rowHeight(row) - 1;
        if (y >= height) {
            break;
        }
        painter.drawLine(columnsEnd, y, width, y);
    }
    const int step = std::max(1, verticalHeader()->defaultSectionSize());
    for (int y = rowsEnd + step - 1; y < height; y += step) {
        painter.drawLine(0, y, width, y);
    }
    for (int column = 0; column < columnCount(); ++column) {
        const int x = columnViewportPosition(column) + columnWidth(column) - 1;
        painter.drawLine(x, std::max(0, rowsEnd), x, height);
    }
}
