#include "ProcessUsage.h"

#include <sys/resource.h>

CProcessUsage::CProcessUsage() : m_start(Now()) {}

CProcessUsage::Sample CProcessUsage::Now() {
    Sample s;
    s.wall = std::chrono::steady_clock::now();
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) == 0) {
        const auto seconds = [](const timeval& tv) {
            return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
        };
        s.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        s.voluntary = usage.ru_nvcsw;
        s.involuntary = usage.ru_nivcsw;
    }
    return s;
}

CProcessUsage::Sample CProcessUsage::Since() const {
    Sample now = Now();
    now.cpuSeconds -= m_start.cpuSeconds;
    now.voluntary -= m_start.voluntary;
    now.involuntary -= m_start.involuntary;
    return now;
}

double CProcessUsage::WallSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start.wall).count();
}

double CProcessUsage::CpuPercent() const {
    const double wall = WallSeconds();
    return wall > 0 ? 100.0 * Since().cpuSeconds / wall : 0.0;
}

double CProcessUsage::WakeupsPerSecond() const {
    const double wall = WallSeconds();
    return wall > 0 ? static_cast<double>(Since().voluntary) / wall : 0.0;
}

double CProcessUsage::InvoluntaryPerSecond() const {
    const double wall = WallSeconds();
    return wall > 0 ? static_cast<double>(Since().involuntary) / wall : 0.0;
}
