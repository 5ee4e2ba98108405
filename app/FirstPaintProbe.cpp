#include "app/FirstPaintProbe.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

CFirstPaintProbe::CFirstPaintProbe(Report report)
    : m_report(std::move(report)), m_created(std::chrono::steady_clock::now()) {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

CFirstPaintProbe::~CFirstPaintProbe() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

double CFirstPaintProbe::MsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text;
    if (!std::getline(stat, text))
        return -1;
    // The command name may hold blanks and parentheses; the fields after it are plain.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // Field 22, the start time, is the 20th after the name.
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (fields.fail() || ticksPerSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return -1;
    char* end = nullptr;
    const double startTicks = std::strtod(field.c_str(), &end);
    if (end == field.c_str())
        return -1;
    const double startMs = startTicks * 1000.0 / static_cast<double>(ticksPerSecond);
    const double nowMs = static_cast<double>(now.tv_sec) * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startMs;
}

bool CFirstPaintProbe::eventFilter(QObject* watched, QEvent* event) {
    if (m_bPainted || event->type() != QEvent::Paint || !watched->isWidgetType())
        return false;
    // A paint before the window is exposed reaches no screen.
    const QWindow* window = static_cast<QWidget*>(watched)->window()->windowHandle();
    if (window != nullptr && window->isExposed()) {
        m_bPainted = true;
        const std::chrono::duration<double, std::milli> sinceProbe =
            std::chrono::steady_clock::now() - m_created;
        QCoreApplication::instance()->removeEventFilter(this);
        if (m_report)
            m_report(MsSinceProcessStart(), sinceProbe.count());
    }
    return false;
}
