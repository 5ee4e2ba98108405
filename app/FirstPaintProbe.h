#pragma once

#include <QObject>
#include <chrono>
#include <functional>

// Watches the whole application for the first paint of a window on screen (exposed) and hands over
// the time since the process started, then removes itself. Start-up time is measured with it in the
// program (VORNAK_FIRST_PAINT_REPORT=1) and in the benchmarks.
class CFirstPaintProbe : public QObject {
public:
    using Report = std::function<void(double msSinceProcessStart, double msSinceProbe)>;

    explicit CFirstPaintProbe(Report report);
    ~CFirstPaintProbe() override;

    bool Painted() const { return m_bPainted; }

    // Milliseconds since the process started (exec), from /proc in clock ticks; -1 unknown.
    static double MsSinceProcessStart();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Report m_report;
    std::chrono::steady_clock::time_point m_created;
    bool m_bPainted = false;
};
