#pragma once

#include <QLabel>
#include <QString>
#include <memory>
#include <optional>

#include "framework/Gdi.h"

// Static styles: the low 8 bits pick the kind of static, the rest are flags.
constexpr unsigned SS_LEFT = 0x00;
constexpr unsigned SS_CENTER = 0x01;
constexpr unsigned SS_RIGHT = 0x02;
constexpr unsigned SS_SIMPLE = 0x0B;
constexpr unsigned SS_LEFTNOWORDWRAP = 0x0C;
constexpr unsigned SS_NOPREFIX = 0x80;
constexpr unsigned SS_NOTIFY = 0x0100;
constexpr unsigned SS_CENTERIMAGE = 0x0200;
constexpr unsigned SS_SUNKEN = 0x1000;
constexpr unsigned WS_BORDER = 0x00800000;

// The colour request kind of a static.
constexpr int CTLCOLOR_STATIC = 6;

// A static text that fills its background in its own colour and draws its text transparently
// in its own colour, with a private copy of the font it had when it was attached.
//
// It is a label, so a form can create it in place of the standard one (through the template
// builder's control factory). Attach() binds it to that window: it takes the template's style
// and runs Initialize once; a control that is shown before being attached attaches itself then.
class COXStatic : public QLabel {
    Q_OBJECT

public:
    explicit COXStatic(QWidget* parent = nullptr);
    ~COXStatic() override;

    // Takes the style from the template property when there is one, else from the label's
    // alignment and frame, then runs Initialize. Later calls do nothing and return false.
    bool Attach();
    bool IsAttached() const { return m_bAttached; }

    unsigned GetStyle() const { return m_dwStyle; }
    void SetStyle(unsigned style) { m_dwStyle = style; }
    void ModifyStyle(unsigned remove, unsigned add) { m_dwStyle = (m_dwStyle & ~remove) | add; }

    // Left, centre, right, simple and left-without-wrap; any other low byte is not text.
    static bool IsTextStyle(unsigned style);
    bool IsTextStyle() const { return IsTextStyle(m_dwStyle); }

    void SetBackgroundColor(COLORREF colour, bool redraw = true);
    COLORREF GetBackgroundColor() const { return m_clrBackground; }
    void SetTextColor(COLORREF colour, bool redraw = true);
    COLORREF GetTextColor() const { return m_clrText; }

    // Stores the text and repaints at once, so no remnant of a longer text stays.
    bool SetWindowText(const QString& text);
    QString GetWindowText() const { return text(); }

    // True when a paint covers the whole control: a background colour and at most a
    // one-pixel border around the contents.
    bool PaintsEveryPixel() const;

    // The private font copy, or nullptr before one has been taken.
    const QFont* GetCopiedFont() const { return m_font.get(); }
    bool IsFontCopied() const { return m_bFontCopied; }

    virtual bool RefreshFont();
    virtual void Initialize();
    // The answer to the static's colour request: nullopt declines it (default colours), a
    // hollow brush lets only the glyphs be drawn.
    virtual std::optional<CBrush> CtlColor(CDC& dc, int ctlType);

protected:
    // Always reports the background as erased.
    virtual bool OnEraseBkgnd(CDC& dc, const CRect& client);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void UpdateOpaquePaint();
    void PaintBorder(CDC& dc);
    void PaintStaticText(CDC& dc, const CRect& client);

    COLORREF m_clrBackground;
    COLORREF m_clrText;
    std::unique_ptr<QFont> m_font;
    bool m_bFontCopied = false;
    unsigned m_dwStyle = SS_LEFT;
    bool m_bAttached = false;
};
