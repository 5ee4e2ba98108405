#pragma once

#include <QObject>

class QWidget;

// Swallows the Enter key (key press, release and shortcut) for a dialog and everything in it,
// drop-down lists and their pop-ups included, so Enter neither presses the default button nor
// closes the dialog. Escape still cancels. Windows the dialog opens, such as its message boxes,
// keep their Enter.
class CEnterSwallower : public QObject {
    Q_OBJECT
public:
    // Installs itself on `dialog` and on every widget below it; owned by `dialog`.
    static CEnterSwallower* Install(QWidget* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CEnterSwallower(QObject* parent) : QObject(parent) {}
    void Watch(QObject* object);
    bool AddressedToDialog(QObject* watched) const;
};
