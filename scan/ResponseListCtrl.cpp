#include "scan/ResponseListCtrl.h"

#include <QHeaderView>
#include <QMouseEvent>

CResponseListCtrl::CResponseListCtrl(QWidget* parent) : QTableWidget(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setShowGrid(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
}

void CResponseListCtrl::SetupColumns() {
    setColumnCount(1);
    auto* header = new QTableWidgetItem(QStringLiteral("Slave Response Display"));
    header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalHeaderItem(0, header);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    setColumnWidth(0, kColumnWidth);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
}

// A replaced line loses its selected state; only the selection mark is carried over. The
// selection is cleared first: removing the current line would make the view select the next.
void CResponseListCtrl::DeleteItem(int index) {
    if (index < 0 || index >= rowCount())
        return;
    selectionModel()->clear();
    removeRow(index);
}

void CResponseListCtrl::InsertItem(int index, const QString& text) {
    insertRow(index);
    setItem(index, 0, new QTableWidgetItem(text));
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
    selectionModel()->setCurrentIndex(model()->index(index, 0), QItemSelectionModel::NoUpdate);
}

void CResponseListCtrl::SetRedraw(bool on) {
    setUpdatesEnabled(on);
}

void CResponseListCtrl::Invalidate() {
    viewport()->update();
}

int CResponseListCtrl::HitTest(const QPoint& viewportPos) const {
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

void CResponseListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableWidget::mouseDoubleClickEvent(event);
    emit listDoubleClicked(HitTest(event->position().toPoint()));
}
