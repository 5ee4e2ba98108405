#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// What the scan and the detection share: how an exchange ended for them, their redrawn
// progress line and their flushed output.
namespace poll {

// A checked answer came back: a normal one or an exception.
bool Answered(std::uint16_t code);
// The line itself failed: every later exchange would fail the same way.
bool LineLost(std::uint16_t code);

// Writes and flushes; 0, or the errno of the failure.
int PrintFlushed(const std::string& text, std::FILE* out);

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

// Flushes and closes standard output; a write that failed anywhere makes the run a failure,
// said once on standard error under the program's name, as the core utilities do.
int FinishOutput(const char* program, int status, int outputError);

}  // namespace poll
