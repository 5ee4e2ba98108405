#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "framework/CommandIds.h"
#include "framework/CommandRouter.h"

namespace {

// A target that logs which of its handlers ran.
class CLogTarget : public CCmdTarget {
public:
    CLogTarget(std::string name, std::vector<std::string>* log) : m_name(std::move(name)) {
        m_log = log;
    }
    void Handle(unsigned id) {
        AddCommandHandler(id, [this, id] { m_log->push_back(m_name + ":" + std::to_string(id)); });
    }
    std::string m_name;
    std::vector<std::string>* m_log;
};

struct Fixture {
    std::vector<std::string> log;
    CLogTarget view{"view", &log}, frame{"frame", &log}, app{"app", &log};
    CCommandRouter router;
    Fixture() {
        router.SetTarget(CCommandRouter::Slot::View, &view);
        router.SetTarget(CCommandRouter::Slot::Frame, &frame);
        router.SetTarget(CCommandRouter::Slot::Application, &app);
    }
};

}  // namespace

TEST(CommandRouter, RoutesViewThenFrameThenApplication) {
    Fixture f;
    f.view.Handle(ID_SCAN_START);
    f.frame.Handle(ID_SCAN_START);
    f.app.Handle(ID_SCAN_START);
    f.frame.Handle(ID_APP_EXIT);
    f.app.Handle(ID_APP_EXIT);
    f.app.Handle(ID_APP_ABOUT);

    EXPECT_TRUE(f.router.Execute(ID_SCAN_START));
    EXPECT_TRUE(f.router.Execute(ID_APP_EXIT));
    EXPECT_TRUE(f.router.Execute(ID_APP_ABOUT));
    EXPECT_FALSE(f.router.Execute(ID_COMM_SETTINGS));
    EXPECT_EQ(f.log, (std::vector<std::string>{"view:32772", "frame:57665", "app:57664"}));

    // An action carries its id and reaches the same chain when triggered.
    QAction action;
    f.router.AddAction(&action, ID_APP_EXIT);
    EXPECT_EQ(CommandIdOf(&action), ID_APP_EXIT);
    f.log.clear();
    action.trigger();
    EXPECT_EQ(f.log, (std::vector<std::string>{"frame:57665"}));

    // A destroyed view drops out of the route by itself.
    auto view = std::make_unique<CLogTarget>("late view", &f.log);
    view->Handle(ID_SCAN_START);
    f.router.SetTarget(CCommandRouter::Slot::View, view.get());
    view.reset();
    EXPECT_EQ(f.router.Target(CCommandRouter::Slot::View), nullptr);
    f.log.clear();
    EXPECT_TRUE(f.router.Execute(ID_SCAN_START));
    EXPECT_EQ(f.log, (std::vector<std::string>{"frame:32772"}));
}

TEST(CommandRouter, UpdateHandlersReachActionsAndToolbarButtons) {
    Fixture f;
    QMainWindow window;
    QToolBar* toolbar = window.addToolBar(QStringLiteral("tools"));
    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("menu"));

    auto* start = new QAction(&window);
    auto* stop = new QAction(&window);
    auto* bar = new QAction(&window);
    auto* orphan = new QAction(&window);
    f.router.AddAction(start, ID_SCAN_START);
    f.router.AddAction(stop, ID_SCAN_STOP);
    f.router.AddAction(bar, ID_VIEW_TOOLBAR);
    f.router.AddAction(orphan, 40000);
    toolbar->addAction(start);
    toolbar->addAction(stop);
    menu->addAction(start);
    menu->addAction(stop);
    menu->addAction(bar);
    menu->addAction(orphan);
    f.router.WatchMenu(menu);

    bool scanning = false;
    f.view.Handle(ID_SCAN_START);
    f.view.Handle(ID_SCAN_STOP);
    f.view.AddUpdateHandler(ID_SCAN_START, [&](CCmdUI& ui) { ui.Enable(!scanning); });
    f.view.AddUpdateHandler(ID_SCAN_STOP, [&](CCmdUI& ui) { ui.Enable(scanning); });
    bool barShown = true;
    f.frame.Handle(ID_VIEW_TOOLBAR);
    // Checks only: enabling then follows the command handler.
    f.frame.AddUpdateHandler(ID_VIEW_TOOLBAR, [&](CCmdUI& ui) { ui.SetCheck(barShown ? 1 : 0); });
    // The frame's handler is never asked while the view handles the update.
    f.frame.AddUpdateHandler(ID_SCAN_START, [&](CCmdUI& ui) { ui.Enable(false); });

    emit menu->aboutToShow();
    QWidget* startButton = toolbar->widgetForAction(start);
    QWidget* stopButton = toolbar->widgetForAction(stop);
    ASSERT_NE(startButton, nullptr);
    ASSERT_NE(stopButton, nullptr);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(startButton->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(stopButton->isEnabled());
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_TRUE(bar->isCheckable());
    EXPECT_TRUE(bar->isChecked());
    EXPECT_FALSE(orphan->isEnabled());  // nobody runs it

    // A command refreshes the states at once, toolbar buttons included.
    f.view.AddCommandHandler(ID_SCAN_START, [&] { scanning = true; });
    start->trigger();
    EXPECT_FALSE(startButton->isEnabled());
    EXPECT_TRUE(stopButton->isEnabled());

    // Idle updates pick up changes made elsewhere, after the event that made them.
    f.router.StartIdleUpdates(10);
    EXPECT_TRUE(f.router.IdleUpdatesRunning());
    scanning = false;
    barShown = false;
    QCoreApplication::postEvent(toolbar, new QEvent(QEvent::User));
    EXPECT_TRUE(QTest::qWaitFor([&] { return startButton->isEnabled(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar->isChecked(); }, 5000));
    EXPECT_FALSE(stopButton->isEnabled());
    f.router.StopIdleUpdates();

    // A toolbar button checks along with its action.
    toolbar->addAction(bar);
    auto* barButton = qobject_cast<QToolButton*>(toolbar->widgetForAction(bar));
    ASSERT_NE(barButton, nullptr);
    barShown = true;
    f.router.UpdateAll();
    EXPECT_TRUE(barButton->isChecked());
}

TEST(CommandRouter, FlyByPromptsAndIdleText) {
    Fixture f;
    std::vector<std::string> prompts;
    f.router.SetPromptCallback([&](const QString& p) { prompts.push_back(p.toStdString()); });

    QMainWindow window;
    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("menu"));
    auto* settings = new QAction(QStringLiteral("settings"), &window);
    auto* unknown = new QAction(QStringLiteral("unknown"), &window);
    f.router.AddAction(settings, ID_COMM_SETTINGS);
    f.router.AddAction(unknown, 40001);
    menu->addAction(settings);
    f.router.WatchMenu(menu);
    f.router.WatchStatusTips(&window);

    EXPECT_EQ(settings->toolTip().toStdString(), "통신 환경 설정");
    EXPECT_EQ(settings->statusTip().toStdString(), "Vornak 프로그램의 통신 환경을 설정합니다.");

    settings->hover();
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts.back(), "Vornak 프로그램의 통신 환경을 설정합니다.");
    unknown->hover();  // no string: the idle text
    EXPECT_EQ(prompts.back(), "준비");

    // Status tips from widgets inside the window (a toolbar button entering and leaving).
    QWidget* child = new QWidget(&window);
    window.setCentralWidget(child);
    QStatusTipEvent enter(QStringLiteral("Polling 방식의 데이터 스캔 동작을 시작합니다."));
    QApplication::sendEvent(child, &enter);
    EXPECT_EQ(prompts.back(), "Polling 방식의 데이터 스캔 동작을 시작합니다.");
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(child, &leave);
    EXPECT_EQ(prompts.back(), "준비");

    settings->hover();
    emit menu->aboutToHide();
    EXPECT_EQ(prompts.back(), "준비");
    EXPECT_EQ(f.router.LastPrompt().toStdString(), "준비");
}
