#pragma once

#include <chrono>

// CPU time and context switches of the whole process (every thread, no children) between
// two points, for figures per second of wall time.
class CProcessUsage {
public:
    CProcessUsage();

    double WallSeconds() const;
    // CPU time as a share of one core, in per cent.
    double CpuPercent() const;
    // Voluntary context switches per second: how often a thread went to sleep and was woken.
    double WakeupsPerSecond() const;
    double InvoluntaryPerSecond() const;

private:
    struct Sample {
        std::chrono::steady_clock::time_point wall;
        double cpuSeconds = 0;
        long voluntary = 0;
        long involuntary = 0;
    };
    static Sample Now();
    Sample Since() const;

    Sample m_start;
};
