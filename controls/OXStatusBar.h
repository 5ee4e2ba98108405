#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "framework/Gdi.h"

// Pane style flags. The low 16 bits go to the pane drawing with each text.
constexpr unsigned SBPS_NORMAL = 0x0000;
constexpr unsigned SBPS_NOBORDERS = 0x0100;
constexpr unsigned SBPS_POPOUT = 0x0200;
constexpr unsigned SBT_OWNERDRAW = 0x1000;
constexpr unsigned SBPS_DISABLED = 0x04000000;
constexpr unsigned SBPS_STRETCH = 0x08000000;

// Pane flags word: the text still has to be handed to the pane drawing.
constexpr unsigned SBPF_UPDATE = 0x0001;

// The parent's notification of a double-click on a pane (first parameter: the pane's id).
constexpr unsigned WM_STATUSBAR_DBLCLK = 0x0400 + 555;

// The message pane's idle text.
constexpr unsigned AFX_IDS_IDLEMESSAGE = 57345;

// What the bar keeps per pane.
struct StatusPaneInfo {
    unsigned nID = 0;  // 0: the message pane
    int cxText = 0;    // width of the text area in pixels
    unsigned nStyle = 0;
    unsigned nFlags = 0;  // SBPF_UPDATE
    QString strText;
};

// A bitmap shown over a pane, with one colour left transparent.
struct PaneBitmap {
    unsigned nResourceId = 0;
    QImage bitmap;
    int nWidth = 0;
    int nHeight = 0;
    int nPlacement = 2;  // 1 to 7; other values act like 2
    COLORREF clrKey = 0;
};

// Where the bar takes its indicator texts and pane bitmaps from; the program's resources by
// default, something else in tests.
struct StatusBarResources {
    std::function<std::optional<QString>(unsigned id)> findString;
    std::function<QImage(unsigned id)> loadBitmap;

    static StatusBarResources Program();
};

// The main window's pane bar. It draws the panes itself (sunken borders in the system colours,
// texts in the button-text colour), and adds per pane a text colour, drawn by DrawItem when it
// is not the button-text colour, and a bitmap with a transparent key colour in one of seven
// placements.
class COXStatusBar : public QWidget {
    Q_OBJECT

public:
    // Border widths of the pane drawing: horizontal border, vertical border, gap between panes.
    static constexpr int kHorzBorder = 0;
    static constexpr int kVertBorder = 2;
    static constexpr int kPaneGap = 2;
    // Added to every pane's text width: border and margin on both sides.
    static constexpr int kPaneBorder = 6;
    // Distance of a pane's own text from its left edge.
    static constexpr int kTextIndent = 3;

    explicit COXStatusBar(QWidget* parent = nullptr);
    ~COXStatusBar() override;

    void SetResources(StatusBarResources resources);

    bool SetIndicators(const unsigned* ids, int count);
    int GetCount() const { return static_cast<int>(m_arrPanes.size()); }

    // Out-of-range indexes change nothing and give false, -1, 0 or empty results.
    void SetPaneInfo(int index, unsigned id, unsigned style, int width);
    bool GetPaneInfo(int index, unsigned& id, unsigned& style, int& width) const;
    unsigned GetPaneStyle(int index) const;
    void SetPaneStyle(int index, unsigned style);
    bool SetPaneText(int index, const QString& text, bool updateNow = true);
    QString GetPaneText(int index) const;
    CRect GetItemRect(int index) const;
    int CommandToIndex(unsigned id) const;
    unsigned GetItemID(int index) const;

    bool SetPaneTextAndColor(int index, const QString& text, COLORREF colour,
                             bool updateNow = true);
    COLORREF GetPaneTextColor(int index) const;
    bool SetPaneBitmap(int index, unsigned bitmapId, int placement, COLORREF keyColour,
                       bool updateNow = true);
    const PaneBitmap* GetPaneBitmap(int index) const;

    void GetBorders(int& horz, int& vert, int& gap) const;
    // The pane's rectangle less the gap at the sides and the borders at top and bottom;
    // nullopt for an empty pane rectangle.
    std::optional<CRect> GetPaneInnerRect(int index) const;

    // The message pane (index 0): a prompt while one is shown, else the idle text.
    void SetMessageText(const QString& text);
    void SetIdleMessage();
    // The prompt part of a command's string ("prompt\ntooltip"); the idle text when it has none.
    void ShowCommandPrompt(unsigned commandId);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The right edges of the panes as last computed.
    const std::vector<int>& PaneRightEdges() const { return m_arrRightEdges; }

    // The whole bar as it paints, into `dc`; the bitmaps' transparency reads `dc` back, so
    // it should be a context on an image.
    void PaintBar(CDC& dc);

signals:
    // WM_STATUSBAR_DBLCLK: a left double-click inside a pane, with that pane's id.
    void statusBarDoubleClicked(unsigned paneId);

protected:
    virtual void DrawItem(CDC& dc, int index, const CRect& itemRect);
    void DrawPaneBitmap(CDC& dc, int index);
    void DrawTransparent(CDC& dc, const PaneBitmap& bitmap, const CRect& dest,
                         const QSize& sourceSize);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What the pane drawing holds for each pane once a text has been sent.
    struct NativePart {
        QString text;
        unsigned style = 0;  // low 16 bits of the pane style
        bool disabled = false;
    };

    bool IsValidIndex(int index) const;
    void UpdateAllPanes(bool updateRects, bool updateText);
    void SendPaneText(int index, bool invalidate);
    void InvalidatePane(int index);
    void PaintNative(CDC& dc);
    CRect NativeItemRect(int index) const;
    int IndicatorTextWidth(const QString& text) const;

    StatusBarResources m_resources;
    std::vector<StatusPaneInfo> m_arrPanes;
    std::vector<NativePart> m_arrNative;
    std::vector<int> m_arrRightEdges;

protected:
    // Per pane, indexed like the panes.
    std::vector<COLORREF> m_arrTextColor;
    std::vector<std::unique_ptr<PaneBitmap>> m_arrBitmap;
};
