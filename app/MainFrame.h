#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>

#include "framework/CmdTarget.h"

class CCommandRouter;
class COXStatusBar;
class CStatusBarHost;
class QToolBar;

// The main window: menu 128, the dockable toolbar, the pane bar with the message pane, four
// indicators and the lamp. Fixed size, following the view; no sizing border, no minimise or
// maximise box.
class CMainFrame : public QMainWindow, public CCmdTarget {
    Q_OBJECT
public:
    // Style the pre-creation hook gives the frame: caption, system menu, title from the document.
    static constexpr unsigned kFrameStyle = 0x00C88000;

    explicit CMainFrame(CCommandRouter* router);
    ~CMainFrame() override;

    const char* GetRuntimeClassName() const { return "CMainFrame"; }

    // Window creation: toolbar, status bar with its indicators, docking, panes. False when a
    // part could not be made; the frame is then unusable.
    bool OnCreate();

    // The one operation the view calls: a pane's text, or for the lamp pane the lit/unlit image.
    void SetStatusPane(unsigned nPaneId, const QString& text, bool bLit);

    // The form the frame wraps; the frame fixes its own size to fit it.
    void SetView(QWidget* view);
    void RecalcLayout();

    // Runs when the window is about to close (the view saves its settings there).
    void SetCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }

    COXStatusBar* StatusBar() const { return m_pWndStatusBar; }
    QToolBar* ToolBar() const { return m_pWndToolBar; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CreateMenu();
    bool CreateToolBar();
    void LoadToolBarImages();
    bool CreateStatusBar();
    void InitPanes();
    void ToggleBar(QWidget* bar);

    CCommandRouter* m_pRouter;
    COXStatusBar* m_pWndStatusBar = nullptr;  // owned through the window tree
    CStatusBarHost* m_pStatusHost = nullptr;
    QToolBar* m_pWndToolBar = nullptr;
    std::function<void()> m_closeHandler;
    bool m_bClosed = false;
};
