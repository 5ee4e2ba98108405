#include <gtest/gtest.h>

#include <QColor>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "app/StartupSnapshot.h"

namespace {

// Left half red, right half blue: a snapshot that holds both was painted, not blank.
class CTwoColourWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(0, 0, width() / 2, height(), Qt::red);
        painter.fillRect(width() / 2, 0, width() - width() / 2, height(), Qt::blue);
    }
};

// Arms the snapshot and runs the event loop until it reports (or a 20 s guard runs out).
std::optional<bool> RunSnapshot(QWidget* window, const QString& path, int timeoutMs) {
    std::optional<bool> result;
    QEventLoop loop;
    ArmStartupSnapshot(
        window, path,
        [&](bool saved) {
            result = saved;
            loop.quit();
        },
        timeoutMs);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

TEST(StartupSnapshot, SavesThePaintedWindowOnceShown) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shot.png"));
    CTwoColourWidget window;
    window.setFixedSize(120, 40);
    window.show();  // exposed later, from the event loop

    ASSERT_EQ(RunSnapshot(&window, path, 10000), std::optional<bool>(true));
    const QImage shot(path);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(120, 40) * window.devicePixelRatio());
    EXPECT_EQ(QColor(shot.pixel(5, 20)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 5, 20)), QColor(Qt::blue));
}

TEST(StartupSnapshot, FailsWhenTheWindowNeverShows) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shot.png"));
    CTwoColourWidget window;

    EXPECT_EQ(RunSnapshot(&window, path, 200), std::optional<bool>(false));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(StartupSnapshot, FailsWhenTheWindowIsDestroyedFirst) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shot.png"));
    auto* window = new CTwoColourWidget;
    window->setFixedSize(60, 20);
    window->show();
    QTimer::singleShot(0, [window] { delete window; });  // runs before the snapshot's first look

    EXPECT_EQ(RunSnapshot(window, path, 10000), std::optional<bool>(false));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(StartupSnapshot, FailsWhenTheFileCannotBeWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no-such-folder/shot.png"));
    CTwoColourWidget window;
    window.setFixedSize(60, 20);
    window.show();

    EXPECT_EQ(RunSnapshot(&window, path, 10000), std::optional<bool>(false));
}

}  // namespace
