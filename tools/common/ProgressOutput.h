#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace poll {

// "[#####...............] 12/64, ": the bar and the count before a progress line's own words.
std::string ProgressBar(std::size_t done, std::size_t total);

// A scan's or a sweep's progress: on a terminal one line, redrawn at each step; in a log or a
// pipe a plain line at each tenth of the way, so the log shows it moving without a line a step.
class CProgress {
public:
    CProgress(std::FILE* out, bool terminal) : m_out(out), m_bTerminal(terminal) {}

    void Show(std::size_t done, std::size_t total, const std::string& line);
    // Before a find is printed, and at the end: the terminal's line goes.
    void Clear();

private:
    std::FILE* m_out;
    bool m_bTerminal;
    std::size_t m_nextTenth = 0;
};

}  // namespace poll
