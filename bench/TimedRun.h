#pragma once

#include <chrono>
#include <string>
#include <vector>

// A program run for a window of wall time and then ended with SIGINT, as a user ends a poller:
// how many of its output lines begin with the marker, and its own CPU time from wait4.
struct TimedRun {
    bool interrupted = false;  // still running when the window closed, so ended by SIGINT
    long lines = 0;
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

TimedRun RunForWindow(const std::vector<std::string>& argv, const std::string& marker,
                      std::chrono::milliseconds window);
