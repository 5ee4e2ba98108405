#pragma once

// The framework's list controls: a drop-down-list combo box with the platform's owner-draw
// records and selection-field height, and the list box its drop-down list is.

#include <QComboBox>
#include <QListView>
#include <QString>
#include <cstdint>

#include "framework/Gdi.h"

class QKeyEvent;

constexpr unsigned ODT_LISTBOX = 2;
constexpr unsigned ODT_COMBOBOX = 3;
constexpr unsigned ODA_DRAWENTIRE = 0x0001;
constexpr unsigned ODS_SELECTED = 0x0001;
constexpr unsigned ODS_FOCUS = 0x0010;
constexpr unsigned CBS_OWNERDRAWFIXED = 0x0010;
constexpr unsigned CBS_OWNERDRAWVARIABLE = 0x0020;

struct DRAWITEMSTRUCT {
    unsigned CtlType = 0;
    int CtlID = 0;
    int itemID = -1;
    unsigned itemAction = 0;
    unsigned itemState = 0;
    QWidget* hwndItem = nullptr;
    CDC* pDC = nullptr;
    CRect rcItem;
    std::uintptr_t itemData = 0;
};

struct MEASUREITEMSTRUCT {
    unsigned CtlType = 0;
    int CtlID = 0;
    int itemID = -1;
    int itemWidth = 0;
    int itemHeight = 0;
    std::uintptr_t itemData = 0;
};

struct COMPAREITEMSTRUCT {
    unsigned CtlType = 0;
    int CtlID = 0;
    QWidget* hwndItem = nullptr;
    int itemID1 = -1;
    std::uintptr_t itemData1 = 0;
    int itemID2 = -1;
    std::uintptr_t itemData2 = 0;
};

// The list window of a drop-down list; its scroll bars have the platform's layout.
class CListBox : public QListView {
public:
    explicit CListBox(QWidget* parent = nullptr);
};

// A combo box of the drop-down-list kind. Its window is as high as the selection field plus
// the three-pixel edge above and below it.
class CComboBox : public QComboBox {
public:
    static constexpr int kFieldEdge = 3;

    explicit CComboBox(QWidget* parent = nullptr);

    int GetCurSel() const { return currentIndex(); }
    // The text of item `index`; empty for -1 or an index out of range.
    QString GetLBText(int index) const;
    std::uintptr_t GetItemData(int index) const;
    bool GetDroppedState() const;
    // Index -1 is the selection field; any other index the list's rows.
    int GetItemHeight(int index) const;
    bool SetItemHeight(int index, int height);

    virtual void DrawItem(const DRAWITEMSTRUCT&) {}
    virtual void MeasureItem(MEASUREITEMSTRUCT&) {}
    virtual int CompareItem(const COMPAREITEMSTRUCT&) { return 0; }

    void showPopup() override;
    // Closes the open list; with `takeHighlighted` the highlighted item becomes the selection.
    void CloseUp(bool takeHighlighted);
    // Enter, F4, Alt+Up and Alt+Down take the highlighted item; Escape leaves the selection.
    static bool IsCloseUpKey(const QKeyEvent& key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The list has closed (the close-up notification, reflected to the control); true when
    // handled here.
    virtual bool OnCloseUp() { return false; }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* PopupWindow() const;

    QObject* m_pListKeys = nullptr;
};
