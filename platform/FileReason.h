#pragma once

#include <sys/types.h>
#include <string>

// Why a file could not be read or replaced, in the words a person reads in a message box or on
// standard error.

// The system's text and the number: "Permission denied (errno 13)".
std::string ErrnoText(int error);
// For a symbolic link whose target could not be reached: where it points and why.
std::string BrokenLinkText(const std::string& link, int error);
// For a file whose owner took away the write permission.
std::string ReadOnlyText(mode_t mode);
