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

// Drags the toolbar by its gripper to `target` (global) in small steps, letting the window
// follow between steps as it would under a user's hand.
void DragToolBar(QToolBar* bar, QPoint target) {
    const bool vertical = bar->orientation() == Qt::Vertical;
    const QPoint grip = vertical ? QPoint(bar->width() / 2, 5) : QPoint(5, bar->height() / 2);
    const QPoint start = bar->mapToGlobal(grip);
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(bar, grip + QPoint(10, 10));
    QTest::qWait(20);
    for (int step = 1; step <= 8; ++step) {
        QTest::mouseMove(bar, bar->mapFromGlobal(start + (target - start) * step / 8));
        QTest::qWait(20);
    }
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(target));
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

// The form's first tab stop has the focus at start-up. Each modal run, dialog or message box,
// ends with the focus back on the control that had it, with or without a window manager.
TEST_F(MainFrameTest, FocusStartsAtTheFirstTabStopAndComesBackAfterEachDialog) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    QWidget* first = FindControl<QWidget>(app.View(), IDC_SLAVE_ID);
    EXPECT_EQ(frame->focusWidget(), first);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    EXPECT_EQ(QApplication::focusWidget(), first);
    const std::function<void()> runs[] = {
        [&] { app.Router()->Execute(ID_APP_ABOUT); },
        [&] { app.Router()->Execute(ID_COMM_SETTINGS); },
        [&] { AfxMessageBox(QStringLiteral("box"), MessageIcon::Information, {}, app.View()); },
    };
    // Where the focus is before, where it is after: the bare window hands it to the form.
    QWidget* list = FindControl<QWidget>(app.View(), IDC_RESPONSE_LIST);
    const std::pair<QWidget*, QWidget*> focus[] = {{first, first}, {list, list}, {frame, first}};
    for (const auto& [before, after] : focus) {
        for (const auto& run : runs) {
            before->setFocus();
            QString title;
            QTimer::singleShot(100, [&] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    title = box->windowTitle();
                    box->close();
                }
            });
            run();
            EXPECT_FALSE(title.isEmpty());
            QTest::qWaitFor([&] { return QApplication::activeWindow() == frame; });
            EXPECT_EQ(QApplication::focusWidget(), after) << title.toStdString();
        }
    }
}

// The status bar stays at the frame's foot with its panes and lamp drawn wherever the toolbar
// goes: floating, then docked on each side.
TEST_F(MainFrameTest, StatusBarStaysDrawnWhereverTheToolbarGoes) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame* frame = app.MainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    QToolBar* toolbar = frame->ToolBar();
    QWidget* host = frame->statusBar();
    // The indicator panes and the lamp sit at the bar's right end, whatever its width.
    const int right = 300;
    auto rightEnd = [&] {
        const QImage bar = GrabPainted(*host);
        return bar.copy(bar.width() - right, 0, right, bar.height());
    };
    const QImage before = rightEnd();
    struct Place {
        const char* name;
        QPoint (*target)(QWidget* frame);
        Qt::ToolBarArea area;
    };
    const Place places[] = {
        {"floating", [](QWidget* f) { return f->mapToGlobal(QPoint(30, f->height() + 200)); },
         Qt::NoToolBarArea},
        {"left", [](QWidget* f) { return f->mapToGlobal(QPoint(4, f->height() / 2)); },
         Qt::LeftToolBarArea},
        {"right",
         [](QWidget* f) { return f->mapToGlobal(QPoint(f->width() - 4, f->height() / 2)); },
         Qt::RightToolBarArea},
        {"bottom",
         [](QWidget* f) { return f->mapToGlobal(QPoint(f->width() / 2, f->height() - 30)); },
         Qt::BottomToolBarArea},
        {"top", [](QWidget* f) { return f->mapToGlobal(QPoint(f->width() / 2, 24)); },
         Qt::TopToolBarArea},
    };
    for (const Place& place : places) {
        DragToolBar(toolbar, place.target(frame));
        EXPECT_EQ(toolbar->isFloating(), place.area == Qt::NoToolBarArea) << place.name;
        if (place.area != Qt::NoToolBarArea)
            EXPECT_EQ(frame->toolBarArea(toolbar), place.area) << place.name;
        QTest::qWaitFor([&] { return host->geometry().bottom() == frame->rect().bottom(); });
        EXPECT_EQ(host->geometry().bottom(), frame->rect().bottom()) << place.name;
        EXPECT_EQ(rightEnd(), before) << place.name;
    }
}

// The strip's light grey is the button face, enabled or not: no squares around the images.
TEST_F(MainFrameTest, ToolbarImagesSitOnTheButtonFace) {
    CVornakApp app;
    ASSERT_TRUE(app.InitInstance());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app.MainFrame()));
    app.Router()->UpdateAll();
    QToolBar* toolbar = app.MainFrame()->ToolBar();
    const QImage shown = GrabPainted(*toolbar);
    const QRgb face = ColorFromRef(GetSysColor(COLOR_BTNFACE)).rgb();
    ASSERT_NE(face, qRgb(192, 192, 192));
    for (QAction* action : toolbar->actions()) {
        if (action->isSeparator())
            continue;
        const QRect button = toolbar->widgetForAction(action)->geometry();
        const QPoint image = button.center() - QPoint(7, 7);
        // The image's top-left corner is background in every button of the strip.
        EXPECT_EQ(shown.pixel(image), face) << CommandIdOf(action) << action->isEnabled();
        EXPECT_EQ(shown.pixel(button.left() + 1, button.top() + 1), face) << CommandIdOf(action);
    }
}
