#include "app/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QPainter>
#include <QToolBar>

#include "app/StatusBarHost.h"
#include "app/ViewHost.h"
#include "app/resources/MenuResource.h"
#include "controls/OXStatusBar.h"
#include "framework/CommandIds.h"
#include "framework/CommandRouter.h"
#include "framework/DisabledBitmap.h"
#include "framework/Gdi.h"
#include "framework/Resources.h"
#include "framework/SysColorBitmap.h"
#include "framework/ToolBar.h"

namespace {

constexpr unsigned kIndicators[] = {ID_SEPARATOR,      ID_INDICATOR_PORT,      ID_INDICATOR_BAUD,
                                    ID_INDICATOR_MODE, ID_INDICATOR_SCAN_TIME, ID_INDICATOR_LAMP};
constexpr unsigned kMessagePaneStyle = 0x08000300;  // stretch, no border, pop-out
constexpr int kMessagePaneWidth = 100;
struct PaneWidth {
    unsigned id;
    int width;
};
constexpr PaneWidth kPaneWidths[] = {{ID_INDICATOR_PORT, 40},
                                     {ID_INDICATOR_BAUD, 70},
                                     {ID_INDICATOR_MODE, 70},
                                     {ID_INDICATOR_SCAN_TIME, 120},
                                     {ID_INDICATOR_LAMP, 30}};
constexpr int kLampPlacement = 7;  // right-aligned, cropped, never scaled
constexpr COLORREF kLampKeyColour = RGB(0, 128, 128);

}  // namespace

CMainFrame::CMainFrame(CCommandRouter* router)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_pRouter(router) {
    setWindowTitle(LoadStringResource(IDS_APP_TITLE));
    setWindowIcon(LoadIconResource(IDR_MAINFRAME));
    AddCommandHandler(ID_APP_EXIT, [this] { close(); });
    AddCommandHandler(ID_VIEW_TOOLBAR, [this] { ToggleBar(m_pWndToolBar); });
    AddCommandHandler(ID_VIEW_STATUS_BAR, [this] { ToggleBar(m_pStatusHost); });
    AddUpdateHandler(ID_VIEW_TOOLBAR, [this](CCmdUI& ui) {
        ui.Enable(m_pWndToolBar != nullptr);
        ui.SetCheck(m_pWndToolBar && !m_pWndToolBar->isHidden() ? 1 : 0);
    });
    AddUpdateHandler(ID_VIEW_STATUS_BAR, [this](CCmdUI& ui) {
        ui.Enable(m_pStatusHost != nullptr);
        ui.SetCheck(m_pStatusHost && !m_pStatusHost->isHidden() ? 1 : 0);
    });
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::OnCreate() {
    if (!CreateMenu() || !CreateToolBar() || !CreateStatusBar())
        return false;
    InitPanes();
    m_pWndStatusBar->SetIdleMessage();
    m_pRouter->WatchStatusTips(this);
    // The frame is exactly as large as what it holds; the user cannot resize it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    return true;
}

bool CMainFrame::CreateMenu() {
    for (const MenuPopupResource& popup : MainMenuResource()) {
        QMenu* menu = menuBar()->addMenu(popup.title);
        for (const MenuItemResource& item : popup.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(item.text);
            if (item.id == ID_VIEW_TOOLBAR || item.id == ID_VIEW_STATUS_BAR) {
                action->setCheckable(true);
            }
            m_pRouter->AddAction(action, item.id);
        }
        m_pRouter->WatchMenu(menu);
    }
    return true;
}

bool CMainFrame::CreateToolBar() {
    if (LoadBitmapResource(IDR_MAINFRAME).isNull())
        return false;
    m_pWndToolBar = new CToolBar(this);
    m_pWndToolBar->setObjectName(QStringLiteral("toolbar"));
    m_pWndToolBar->setProperty("windowId", ID_VIEW_TOOLBAR);
    m_pWndToolBar->setMovable(true);
    m_pWndToolBar->setFloatable(true);
    m_pWndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pWndToolBar->setIconSize(QSize(kToolbarButtonSize, kToolbarButtonSize));
    m_pWndToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (unsigned id : MainToolbarButtons()) {
        if (id == 0) {
            m_pWndToolBar->addSeparator();
            continue;
        }
        m_pRouter->AddAction(m_pWndToolBar->addAction(QString()), id);
    }
    LoadToolBarImages();
    addToolBar(Qt::TopToolBarArea, m_pWndToolBar);
    // Docking lands at once, as on the platform; no sliding animation to wait for.
    setAnimated(false);
    m_pWndToolBar->installEventFilter(this);
    return true;
}

// The strip's greys take the current system colours, so its background is the button face.
void CMainFrame::LoadToolBarImages() {
    const QImage strip = MapSysColorBitmap(LoadBitmapResource(IDR_MAINFRAME));
    int image = 0;
    for (QAction* action : m_pWndToolBar->actions()) {
        if (action->isSeparator())
            continue;
        const QImage button =
            strip.copy(image * kToolbarButtonSize, 0, kToolbarButtonSize, kToolbarButtonSize);
        ++image;
        QIcon icon(QPixmap::fromImage(button));
        icon.addPixmap(QPixmap::fromImage(DisabledBitmap(button)), QIcon::Disabled);
        action->setIcon(icon);
    }
}

bool CMainFrame::CreateStatusBar() {
    m_pWndStatusBar = new COXStatusBar;
    m_pWndStatusBar->setProperty("windowId", ID_VIEW_STATUS_BAR);
    m_pStatusHost = new CStatusBarHost(m_pWndStatusBar, this);
    setStatusBar(m_pStatusHost);
    if (!m_pWndStatusBar->SetIndicators(kIndicators, static_cast<int>(std::size(kIndicators)))) {
        return false;
    }
    m_pStatusHost->setFixedHeight(m_pWndStatusBar->sizeHint().height());
    m_pRouter->SetPromptCallback([this](const QString& prompt) {
        if (m_pWndStatusBar)
            m_pWndStatusBar->SetMessageText(prompt);
    });
    return true;
}

void CMainFrame::InitPanes() {
    COXStatusBar& bar = *m_pWndStatusBar;
    bar.SetPaneInfo(0, bar.GetItemID(0), kMessagePaneStyle, kMessagePaneWidth);
    for (const PaneWidth& pane : kPaneWidths) {
        bar.SetPaneInfo(bar.CommandToIndex(pane.id), pane.id, SBPS_NORMAL, pane.width);
    }
    const int lamp = bar.CommandToIndex(ID_INDICATOR_LAMP);
    bar.SetPaneBitmap(lamp, IDB_LAMP_UNLIT, kLampPlacement, kLampKeyColour, true);
    bar.SetPaneTextAndColor(lamp, QString(), GetSysColor(COLOR_BTNTEXT), true);
}

void CMainFrame::SetStatusPane(unsigned nPaneId, const QString& text, bool bLit) {
    COXStatusBar& bar = *m_pWndStatusBar;
    const int index = bar.CommandToIndex(nPaneId);
    if (index < 0)
        return;
    if (nPaneId == ID_INDICATOR_LAMP) {
        bar.SetPaneBitmap(index, bLit ? IDB_LAMP_LIT : IDB_LAMP_UNLIT, kLampPlacement,
                          kLampKeyColour, true);
        bar.SetPaneTextAndColor(index, QString(), GetSysColor(COLOR_BTNTEXT), true);
        return;
    }
    bar.SetPaneTextAndColor(index, text, GetSysColor(COLOR_BTNTEXT), true);
}

void CMainFrame::SetView(QWidget* view) {
    setCentralWidget(new CViewHost(view));
    RecalcLayout();
}

void CMainFrame::RecalcLayout() {
    if (layout()) {
        layout()->invalidate();
        layout()->activate();
    }
    adjustSize();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_pWndToolBar)
        LoadToolBarImages();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // While the toolbar is dragged the window's layout holds still and never moves the status
    // bar, though the window shrinks or grows with the toolbar; the drag ends in the toolbar's
    // own release handling, so the layout is redone once that has run. A button the toolbar
    // slid under the held mouse never saw it leave, so its prompt goes too.
    if (watched == m_pWndToolBar && event->type() == QEvent::MouseButtonRelease) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                RecalcLayout();
                m_pWndStatusBar->SetIdleMessage();
            },
            Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::ToggleBar(QWidget* bar) {
    if (!bar)
        return;
    bar->setVisible(bar->isHidden());
    RecalcLayout();
    m_pRouter->UpdateAll();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_bClosed) {
        m_bClosed = true;
        if (m_closeHandler)
            m_closeHandler();
    }
    event->accept();
}
