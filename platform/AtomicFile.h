#pragma once

#include <string>

// Replaces the file at `path` with `bytes` so that a reader sees the old file or the new one,
// never a part: a temporary file in the same folder (made, with its parents, when missing),
// fsync, rename. The file keeps its permissions (and owner where that can be given); a file
// whose mode has no write permission for its owner is not replaced, whoever saves. A symbolic
// link keeps pointing at the file: its target is replaced, the temporary file made beside the
// target; a link to nothing is refused. Returns 0, or the errno of the step that failed, and
// then the file is as it was; `why` then says in words what the number cannot (a read-only
// file, a broken link), else it is empty.
int ReplaceFileAtomically(const std::string& path, const std::string& bytes, std::string& why);
