#pragma once

#include <QEventLoop>
#include <QTimer>

// Runs the event loop as the program does, for `ms` of wall time. (QTest::qWait would sleep
// between rounds and delay every call the scan thread makes into the user interface.)
inline void RunEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
