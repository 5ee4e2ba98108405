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
    // Puts `text` in place of the existing item at `index`: what deleting it and inserting the
    // text there would show (the line loses its selected state), without moving the others.
    virtual void ReplaceItem(int index, const QString& text) = 0;
    virtual QString ItemText(int index) const = 0;
    // The anchor of the selection, -1 when there is none.
    virtual int SelectionMark() const = 0;
    virtual void SetSelectionMark(int index) = 0;
    virtual void SetRedraw(bool on) = 0;
    // Repaints the list, background included. After a rebuild that only replaced texts it
    // may repaint just the lines that look different; the others would not change a pixel.
    virtual void Invalidate() = 0;
};
