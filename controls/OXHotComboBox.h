#pragma once

#include <QPointer>

#include "controls/OXHotCtrl.h"
#include "framework/ComboBox.h"

// The drop-down list of the system, painted whole by itself: a flat two-pixel frame that gets
// a one-pixel sunken outline while the control is active, a flat, raised or pressed drop-down
// button with its arrow, and the selection drawn through DrawItem. Its drop-down list is a
// hot-tracking list box, bound the first time it shows, whose rows DrawItem and MeasureItem
// draw and size too. The text's room is measured from the rows the face's glyphs really cover.
class COXHotComboBox : public COXHotCtrl<CComboBox> {
    Q_OBJECT

public:
    static constexpr char SAMPLE_TEXT[] = "ygaQ!|";

    explicit COXHotComboBox(QWidget* parent = nullptr);

    void DrawItem(const DRAWITEMSTRUCT& item) override;
    void MeasureItem(MEASUREITEMSTRUCT& item) override;
    int CompareItem(const COMPAREITEMSTRUCT& item) override;

    void Initialize() override;
    void SetActive(bool active) override;

    CRect GetButtonRect() const;
    int TextHeight() const { return m_nTextHeight; }
    int SampleHeight() const { return m_nSampleHeight; }
    COXHotCtrl<CListBox>* ListBox() const { return m_listBox; }

    void showPopup() override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool OnCloseUp() override;

private:
    void MeasureFont();
    void OnFontChange();
    // The colour request of the drop-down list: binds it once.
    void OnListColorRequest();

    QPointer<COXHotCtrl<CListBox>> m_listBox;
    int m_nTextHeight = 0;
    int m_nSampleHeight = 0;
};
