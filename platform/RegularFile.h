#pragma once

#include <cstdint>
#include <string>

// A file a user or a settings file names, opened for reading only when it is what it claims:
// a regular file (a link to one is followed) on a real file system, at most `limit` bytes. A
// FIFO would hold the opener until a writer comes, a device or a kernel file reads without
// end. The descriptor, or -1 with errno's text or the reason ("not a regular file",
// "larger than N bytes") in `reason`.
int OpenRegularFile(const std::string& path, std::uint64_t limit, std::string& reason);
