#pragma once

#include <cstdio>
#include <string>

// Output that a reader sees as soon as it is printed, and whose failures are not lost: a full
// disk or a closed pipe ends the run with the core utilities' message.
namespace poll {

// Writes and flushes; 0, or the errno of the failure.
int PrintFlushed(const std::string& text, std::FILE* out);

// Flushes and closes standard output; a write that failed anywhere makes the run a failure,
// said once on standard error under the program's name, as the core utilities do.
int FinishOutput(const char* program, int status, int outputError);

}  // namespace poll
