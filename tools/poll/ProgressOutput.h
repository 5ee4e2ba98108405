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
// Redraws the progress line; a shorter line leaves no tail.
void ShowProgress(std::FILE* progress, const std::string& line);
void ClearProgress(std::FILE* progress);

// Flushes and closes standard output; a write that failed anywhere makes the run a failure,
// said once on standard error under the program's name, as the core utilities do.
int FinishOutput(const char* program, int status, int outputError);

}  // namespace poll
