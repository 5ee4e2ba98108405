#pragma once

#include <QString>

// The one-column value list as the display sees it. The view adapts its real list widget to
// this, so the rebuild rules can be exercised without a window.
class IResponseList {
public:
    virtual ~IResponseList() = default;

    virtual int Count() const = 0;
    virtual void DeleteItem(int index) = 0;
    virtual void InsertItem(int index, const QString& text) = 0;
    virtual QString ItemText(int index) const = 0;
    // The anchor of the selection, -1 when there is none.
    virtual int SelectionMark() const = 0;
    virtual void SetSelectionMark(int index) = 0;
    virtual void SetRedraw(bool on) = 0;
    // Repaints the whole list, background included.
    virtual void Invalidate() = 0;
};
