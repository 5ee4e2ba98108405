#pragma once

#include <string>

// Replaces the file at `path` with `bytes` so that a reader sees the old file or the new one,
// never a part: a temporary file in the same folder (made, with its parents, when missing),
// fsync, rename. The file keeps its permissions (and owner where that can be given); a file
// made read-only is not replaced; a symbolic link keeps pointing at the file. Returns 0, or the
// errno of the step that failed, and then the file is as it was.
int ReplaceFileAtomically(const std::string& path, const std::string& bytes);
