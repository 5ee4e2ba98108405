#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/MainFrame.h"
#include "app/VornakApp.h"
#include "app/resources/ControlIds.h"
#include "controls/OXStatusBar.h"
#include "framework/CommandIds.h"
#include "framework/CommandRouter.h"
#include "framework/ControlLookup.h"
#include "framework/Gdi.h"
#include "framework/MessageBox.h"
#include "framework/MessageBoxRecorder.h"
#include "scan/VornakView.h"
#include "tests/support/TempConfigHome.h"
#include "tests/support/WindowGrab.h"

namespace {

QString Pane(CMainFrame* frame, unsigned id) {
    COXStatusBar* bar = frame->StatusBar();
    return bar->GetPaneText(bar->CommandToIndex(id));
}

unsigned LampBitmap(CMainFrame* frame) {
    COXStatusBar* bar = frame->StatusBar();
    const PaneBitmap* b = bar->GetPaneBitmap(bar->CommandToIndex(ID_INDICATOR_LAMP));
    return b ? b->nResourceId : 0;
}

struct MenuLine {
    QString text;
    unsigned id;
};

std::vector<MenuLine> MenuLines(QMenu* menu) {
    std::vector<MenuLine> lines;
    for (QAction* a : menu->actions()) {
        lines.push_back({a->isSeparator() ? QString() : a->text(), CommandIdOf(a)});
    }
    return lines;
}

// Drags the toolbar by its gripper to `target` (frame coordinates) in steps, the window
// following between them as under a user's hand.
void DragToolBar(QToolBar* bar, QPoint target) {
    const QPoint grip = bar->orientation() == Qt::Vertical ? QPoint(bar->width() / 2, 5)
                                                           : QPoint(5, bar->height() / 2);
    const QPoint start = bar->mapToGlobal(grip), end = bar->parentWidget()->mapToGlobal(target);
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    for (int step = 0; step <= 8; ++step) {
        const QPoint at = step == 0 ? start + QPoint(10, 10) : start + (end - start) * step / 8;
        QTest::mouseMove(bar, bar->mapFromGlobal(at));
        QTest::qWait(20);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(end));
    QTest::qWait(50);
}

class MainFrameTest : public ::testing::Test {
protected:
    CTempConfigHome home;
};

}  // namespace

TEST_F(MainFrameTest, StartsWithCaptionPanesAndGreyLamps) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    EXPECT_EQ(frame->windowTitle(), QString::fromUtf8("Modbus Master Scan Program - Quorvix"));
    EXPECT_EQ(frame->StatusBar()->GetPaneText(0), QString::fromUtf8("준비"));
    EXPECT_EQ(Pane(frame, ID_INDICATOR_PORT), "COM1");
    EXPECT_EQ(Pane(frame, ID_INDICATOR_BAUD), "BPS : 9600");
    EXPECT_EQ(Pane(frame, ID_INDICATOR_MODE), "Mode : RTU");
    EXPECT_EQ(Pane(frame, ID_INDICATOR_SCAN_TIME), "Scan Time : 1000ms");
    EXPECT_EQ(Pane(frame, ID_INDICATOR_LAMP), "");
    EXPECT_EQ(LampBitmap(frame), IDB_LAMP_UNLIT);

    unsigned id = 0, style = 0;
    int width = 0;
    COXStatusBar* bar = frame->StatusBar();
    bar->GetPaneInfo(0, id, style, width);
    EXPECT_EQ(style, 0x08000300u);
    EXPECT_EQ(width, 100);
    const int widths[] = {40, 70, 70, 120, 30};
    for (int i = 1; i <= 5; ++i) {
        bar->GetPaneInfo(i, id, style, width);
        EXPECT_EQ(id, ID_INDICATOR_PORT + i - 1);
        EXPECT_EQ(style, 0u);
        EXPECT_EQ(width, widths[i - 1]);
    }
}

TEST_F(MainFrameTest, WindowCannotBeResizedMinimisedOrMaximised) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    const Qt::WindowFlags flags = frame->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_EQ(frame->minimumSize(), frame->maximumSize());
    // The frame wraps the form: the form is not squeezed.
    EXPECT_EQ(app.View()->size(), app.View()->minimumSize());
}

TEST_F(MainFrameTest, MenuHasThreePopupsWithTheirCommands) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    const QList<QAction*> popups = app.MainFrame()->menuBar()->actions();
    ASSERT_EQ(popups.size(), 3);
    EXPECT_EQ(popups[0]->text(), QString::fromUtf8("동작(&A)"));
    EXPECT_EQ(popups[1]->text(), QString::fromUtf8("보기(&V)"));
    EXPECT_EQ(popups[2]->text(), QString::fromUtf8("도움말(&H)"));

    const auto action = MenuLines(popups[0]->menu());
    ASSERT_EQ(action.size(), 6u);
    EXPECT_EQ(action[0].id, ID_COMM_SETTINGS);
    EXPECT_EQ(action[0].text, QString::fromUtf8("통신 환경 설정"));
    EXPECT_EQ(action[1].id, 0u);
    EXPECT_EQ(action[2].id, ID_SCAN_START);
    EXPECT_EQ(action[3].id, ID_SCAN_STOP);
    EXPECT_EQ(action[4].id, 0u);
    EXPECT_EQ(action[5].id, ID_APP_EXIT);
    EXPECT_EQ(action[5].text, QString::fromUtf8("종료(&X)"));
    const auto view = MenuLines(popups[1]->menu());
    ASSERT_EQ(view.size(), 2u);
    EXPECT_EQ(view[0].id, ID_VIEW_TOOLBAR);
    EXPECT_EQ(view[1].id, ID_VIEW_STATUS_BAR);
    const auto help = MenuLines(popups[2]->menu());
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].id, ID_APP_ABOUT);
    EXPECT_EQ(help[0].text, QString::fromUtf8("Vornak 정보(&A)..."));
}

TEST_F(MainFrameTest, ToolbarButtonsAndDocking) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    QToolBar* toolbar = app.MainFrame()->ToolBar();
    std::vector<unsigned> ids;
    for (QAction* a : toolbar->actions())
        ids.push_back(a->isSeparator() ? 0 : CommandIdOf(a));
    EXPECT_EQ(ids, (std::vector<unsigned>{ID_COMM_SETTINGS, 0, ID_SCAN_START, ID_SCAN_STOP, 0,
                                          ID_APP_ABOUT}));
    EXPECT_TRUE(toolbar->isMovable());
    EXPECT_EQ(toolbar->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_EQ(toolbar->actions()[0]->toolTip(), QString::fromUtf8("통신 환경 설정"));
    EXPECT_FALSE(toolbar->actions()[0]->icon().isNull());
    // Nothing scans yet: start is enabled and stop is not, in the toolbar as in the menu.
    app.Router()->UpdateAll();
    EXPECT_TRUE(toolbar->actions()[2]->isEnabled());
    EXPECT_FALSE(toolbar->actions()[3]->isEnabled());
    // The strip's light grey is the button face, enabled or not: the top-left corner of every
    // image is background, so no grey squares show.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app.MainFrame()));
    const QImage shown = GrabPainted(*toolbar);
    for (QAction* a : toolbar->actions()) {
        const QPoint corner = toolbar->widgetForAction(a)->geometry().center() - QPoint(7, 7);
        if (!a->isSeparator()) {
            EXPECT_EQ(shown.pixel(corner), ColorFromRef(GetSysColor(COLOR_BTNFACE)).rgb());
        }
    }
}

TEST_F(MainFrameTest, SetStatusPaneLightsTheLampAndSetsTexts) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    frame->SetStatusPane(ID_INDICATOR_LAMP, "ignored", true);
    EXPECT_EQ(LampBitmap(frame), IDB_LAMP_LIT);
    EXPECT_EQ(Pane(frame, ID_INDICATOR_LAMP), "");
    frame->SetStatusPane(ID_INDICATOR_LAMP, "", false);
    EXPECT_EQ(LampBitmap(frame), IDB_LAMP_UNLIT);
    frame->SetStatusPane(ID_INDICATOR_BAUD, "BPS : 19200", true);
    EXPECT_EQ(Pane(frame, ID_INDICATOR_BAUD), "BPS : 19200");
    COXStatusBar* bar = frame->StatusBar();
    // Texts go in the button-text colour, so no pane is owner-drawn.
    EXPECT_EQ(bar->GetPaneStyle(bar->CommandToIndex(ID_INDICATOR_BAUD)) & SBT_OWNERDRAW, 0u);
}

TEST_F(MainFrameTest, HidingTheStatusBarKeepsItsPanes) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    frame->SetStatusPane(ID_INDICATOR_LAMP, "", true);
    QAction* toggle = app.Router()->Actions(ID_VIEW_STATUS_BAR).first();
    app.Router()->UpdateAll();
    EXPECT_TRUE(toggle->isChecked());
    const int shownHeight = frame->height();
    app.Router()->Execute(ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(frame->statusBar()->isHidden());
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_LT(frame->height(), shownHeight);
    app.Router()->Execute(ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(frame->statusBar()->isHidden());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(Pane(frame, ID_INDICATOR_PORT), "COM1");
    EXPECT_EQ(LampBitmap(frame), IDB_LAMP_LIT);

    app.Router()->Execute(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(frame->ToolBar()->isHidden());
}

TEST_F(MainFrameTest, StoredSettingsReachThePanes) {
    ASSERT_TRUE(home.WriteIni("[Main Env]\nCOM Port=2\nCOM Bps=5\nTrans Mode=1\nScan Time=250\n"));
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(Pane(app.MainFrame(), ID_INDICATOR_PORT), "COM3");
    EXPECT_EQ(Pane(app.MainFrame(), ID_INDICATOR_BAUD), "BPS : 38400");
    EXPECT_EQ(Pane(app.MainFrame(), ID_INDICATOR_MODE), "Mode : ASCII");
    EXPECT_EQ(Pane(app.MainFrame(), ID_INDICATOR_SCAN_TIME), "Scan Time : 250ms");
}

TEST_F(MainFrameTest, ModePaneNamesModbusTcpAndUdpLinesWhateverTheMode) {
    const std::pair<const char*, const char*> rows[] = {
        {"COM2=tcp://127.0.0.1:5020", "Mode : TCP"},
        {"COM2=udp://127.0.0.1", "Mode : UDP"},
        {"COM2=tls://127.0.0.1?cert=c.pem&key=c.key&ca=ca.pem", "Mode : TLS"},
        {"COM2=/dev/null", "Mode : ASCII"},
    };
    for (const auto& [map, pane] : rows) {
        SCOPED_TRACE(map);
        ASSERT_TRUE(home.WriteIni(QByteArray("[Main Env]\nCOM Port=1\nTrans Mode=1\n[Port Map]\n") +
                                  map + "\n"));
        CVornakApp app;
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(Pane(app.MainFrame(), ID_INDICATOR_MODE), pane);
    }
}

TEST_F(MainFrameTest, UnknownBitRateLeavesItsPaneAlone) {
    ASSERT_TRUE(home.WriteIni("[Main Env]\nCOM Bps=9\n"));
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(Pane(app.MainFrame(), ID_INDICATOR_BAUD), "BPS : 9600");
}

TEST_F(MainFrameTest, ClosingSavesTheSettingsOnce) {
    {
        CVornakApp app;
        ASSERT_TRUE(app.InitInstance());
        app.Router()->Execute(ID_APP_EXIT);
        EXPECT_FALSE(app.MainFrame()->isVisible());
    }
    QFile ini(home.IniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("Scan%20Time=1000")) << text.constData();
    EXPECT_TRUE(text.contains("Salve%20ID=1")) << text.constData();
    EXPECT_TRUE(text.contains("Read%20Quan=8")) << text.constData();
}

TEST_F(MainFrameTest, FrameThatCannotBeCreatedEndsStartUp) {
    CMessageBoxRecorder boxes;
    CVornakApp app;
    app.FailFrameCreationForTest();
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, QString::fromUtf8("빈 문서 작성 실패."));
    EXPECT_EQ(app.MainFrame(), nullptr);
}

TEST_F(MainFrameTest, PromptsShowInTheMessagePaneAndTheIdleTextReturns) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    COXStatusBar* bar = app.MainFrame()->StatusBar();
    QAction* start = app.Router()->Actions(ID_SCAN_START).first();
    EXPECT_EQ(start->statusTip(),
              QString::fromUtf8("Polling 방식의 데이터 스캔 동작을 시작합니다."));
    QStatusTipEvent tip(start->statusTip());
    QApplication::sendEvent(app.MainFrame(), &tip);
    EXPECT_EQ(bar->GetPaneText(0), start->statusTip());
    QStatusTipEvent none{QString()};
    QApplication::sendEvent(app.MainFrame(), &none);
    EXPECT_EQ(bar->GetPaneText(0), QString::fromUtf8("준비"));
}

TEST_F(MainFrameTest, AboutCommandRunsTheAboutBoxModally) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    QString shown;
    QTimer::singleShot(100, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            shown = box->windowTitle();
            box->close();
        }
    });
    EXPECT_TRUE(app.Router()->Execute(ID_APP_ABOUT));
    EXPECT_EQ(shown, QString::fromUtf8("Vornak 정보"));
    EXPECT_EQ(app.MainFrame()->windowTitle(),
              QString::fromUtf8("Modbus Master Scan Program - Quorvix"));
}

// The form's first tab stop has the focus from the start. Each modal run ends with the
// keyboard focus back on the control that had it (the bare window hands it to the form), with
// or without a window manager to hand it back.
TEST_F(MainFrameTest, FocusReturnsToTheMainWindowAfterEachDialog) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    QWidget* before = FindControl<QWidget>(app.View(), IDC_SLAVE_ID);
    EXPECT_EQ(frame->focusWidget(), before);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    ASSERT_EQ(QApplication::focusWidget(), before);
    for (unsigned command : {ID_APP_ABOUT, ID_COMM_SETTINGS, 0u}) {
        QString title;
        QTimer::singleShot(100, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                title = box->windowTitle();
                box->close();
            }
        });
        if (command == 0) {
            frame->setFocus();
            AfxMessageBox(QStringLiteral("box"), MessageIcon::Information, {}, app.View());
        } else {
            EXPECT_TRUE(app.Router()->Execute(command));
        }
        EXPECT_FALSE(title.isEmpty()) << command;
        (void)QTest::qWaitFor([&] { return QApplication::activeWindow() == frame; });
        EXPECT_EQ(QApplication::focusWidget(), before) << command;
    }
}

// The status bar stays at the frame's foot with its panes and lamp drawn wherever the toolbar
// goes: floating, then docked on each side.
TEST_F(MainFrameTest, StatusBarStaysDrawnWhereverTheToolbarGoes) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    QWidget* host = frame->statusBar();
    // The indicator panes and the lamp, at the bar's right end whatever its width.
    auto panes = [&] {
        return GrabPainted(*host).copy(host->width() - 300, 0, 300, host->height());
    };
    const QImage before = panes();
    // Targets as a share of the frame's size plus pixels.
    const struct {
        double fx, fy;
        int dx, dy;
        Qt::ToolBarArea area;
    } places[] = {{0, 1, 30, 200, Qt::NoToolBarArea},
                  {0, 0.5, 4, 0, Qt::LeftToolBarArea},
                  {1, 0.5, -4, 0, Qt::RightToolBarArea},
                  {0.5, 1, 0, -30, Qt::BottomToolBarArea},
                  {0.5, 0, 0, 24, Qt::TopToolBarArea}};
    for (const auto& p : places) {
        const QPoint target(int(frame->width() * p.fx) + p.dx, int(frame->height() * p.fy) + p.dy);
        DragToolBar(frame->ToolBar(), target);
        QToolBar* bar = frame->ToolBar();
        EXPECT_EQ(bar->isFloating() ? Qt::NoToolBarArea : frame->toolBarArea(bar), p.area);
        (void)QTest::qWaitFor([&] { return host->geometry().bottom() == frame->rect().bottom(); });
        EXPECT_EQ(panes(), before) << p.area;
    }
}
