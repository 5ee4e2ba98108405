#pragma once

#include <QTableWidget>
#include <cstdint>
#include <set>

#include "scan/ResponseList.h"

// List 1020: a one-column report list with grid lines and full-row single selection. It is the
// real list behind the display's rebuild rules.
class CResponseListCtrl : public QTableWidget, public IResponseList {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 490;
    // Extended styles, with the platform's bits.
    static constexpr std::uint32_t LVS_EX_GRIDLINES = 0x0001;
    static constexpr std::uint32_t LVS_EX_FULLROWSELECT = 0x0020;
    static constexpr std::uint32_t LVS_EX_FLATSB = 0x0100;

    explicit CResponseListCtrl(QWidget* parent = nullptr);

    // The column "Slave Response Display" and the extended styles, once at the first update.
    void SetupColumns();
    // Replaces every extended style bit; grid lines and full-row selection show at once.
    void SetExtendedStyle(std::uint32_t style);
    std::uint32_t GetExtendedStyle() const { return m_dwExStyle; }

    int Count() const override { return rowCount(); }
    void DeleteItem(int index) override;
    void InsertItem(int index, const QString& text) override;
    void ReplaceItem(int index, const QString& text) override;
    QString ItemText(int index) const override;
    int SelectionMark() const override;
    void SetSelectionMark(int index) override;
    void SetRedraw(bool on) override;
    void Invalidate() override;

    // The line under a point of the viewport, -1 below the last line.
    int HitTest(const QPoint& viewportPos) const;

private:
    void ClearSelection();

    std::uint32_t m_dwExStyle = 0;
    bool m_bRedraw = true;
    // Since redrawing went off: the lines whose look changed, and whether lines were
    // inserted or removed.
    bool m_bTracking = false;
    bool m_bRowsMoved = false;
    std::set<int> m_changedRows;

signals:
    // A double-click on the list; item is -1 when it hit no line.
    void listDoubleClicked(int item);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void initViewItemOption(QStyleOptionViewItem* option) const override;
};
