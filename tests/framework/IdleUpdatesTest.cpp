#include "framework/IdleUpdates.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

// The event loop as the program runs it, for `ms`.
void RunLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct IdleCount {
    int runs = 0;
    CIdleUpdates idle{[this] { ++runs; }};
};

TEST(IdleUpdates, RunsOnceAfterAnEventAndThenStaysQuiet) {
    QWidget target;
    IdleCount count;
    count.idle.Start(20);
    RunLoop(150);
    EXPECT_EQ(count.runs, 1);  // the start counts as one event

    count.runs = 0;
    RunLoop(200);
    EXPECT_EQ(count.runs, 0);  // nothing happened: no idle round, no wake-up

    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    RunLoop(150);
    EXPECT_EQ(count.runs, 1);  // a burst of events gives one round

    count.idle.Stop();
    EXPECT_FALSE(count.idle.Running());
    count.runs = 0;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    RunLoop(100);
    EXPECT_EQ(count.runs, 0);
}

TEST(IdleUpdates, ABlinkingCaretStartsNoRound) {
    QLineEdit edit;
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&edit));
    IdleCount count;
    count.idle.Start(20);
    RunLoop(150);
    count.runs = 0;
    RunLoop(1200);  // more than one blink period
    EXPECT_EQ(count.runs, 0);
}

TEST(IdleUpdates, WhichEventsCount) {
    QObject plain;
    QTimer timer;
    QWidget widget;
    struct Case {
        QEvent::Type type;
        const QObject* receiver;
        bool counts;
    };
    const Case cases[] = {
        {QEvent::MouseButtonPress, &widget, true},
        {QEvent::KeyPress, &widget, true},
        {QEvent::User, &plain, true},
        {QEvent::Timer, &timer, true},   // a QTimer's slot may change state
        {QEvent::Timer, &plain, false},  // a widget's own timer (the caret blink) does not
        {QEvent::Paint, &widget, false},
        {QEvent::UpdateRequest, &widget, false},
        {QEvent::ActionChanged, &widget, false},  // what an idle update itself causes
        {QEvent::EnabledChange, &widget, false},
        {QEvent::DeferredDelete, &plain, false},  // a finished single-shot timer going
        {QEvent::ChildRemoved, &plain, false},
    };
    for (const Case& c : cases) {
        const QEvent event(c.type);
        EXPECT_EQ(CIdleUpdates::CountsAsActivity(c.receiver, &event), c.counts) << c.type;
    }
}

}  // namespace
