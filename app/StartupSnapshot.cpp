#include "app/StartupSnapshot.h"

#include <QDeadlineTimer>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <memory>

namespace {

constexpr int kPollMs = 20;

struct SnapshotRequest {
    QPointer<QWidget> window;
    QString path;
    std::function<void(bool)> done;
    QDeadlineTimer deadline;
};

bool IsExposed(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return window->isVisible() && handle && handle->isExposed();
}

void Poll(const std::shared_ptr<SnapshotRequest>& request) {
    QWidget* window = request->window.data();
    if (!window) {
        request->done(false);
        return;
    }
    if (!IsExposed(window)) {
        if (request->deadline.hasExpired()) {
            request->done(false);
            return;
        }
        QTimer::singleShot(kPollMs, [request] { Poll(request); });
        return;
    }
    // Exposure is handled before the loop comes back here, so the window has painted by now.
    const QPixmap shot = window->screen()->grabWindow(window->winId());
    request->done(!shot.isNull() && shot.save(request->path, "PNG"));
}

}  // namespace

void ArmStartupSnapshot(QWidget* window, const QString& path, std::function<void(bool)> done,
                        int timeoutMs) {
    auto request = std::make_shared<SnapshotRequest>(
        SnapshotRequest{window, path, std::move(done), QDeadlineTimer(timeoutMs)});
    QTimer::singleShot(0, [request] { Poll(request); });
}
