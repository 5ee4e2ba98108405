#pragma once

// Makes sure descriptors 0, 1 and 2 are open before the program opens anything else: one that
// was closed is opened on /dev/null (read and write). Otherwise the next file or line opened
// would take its number, and the program's messages would go into it (onto the bus). Call it
// first thing in main. `reopened` gets bit n set for each descriptor n that had been closed.
// False when /dev/null could not be opened: a descriptor is still closed, the program must end.
[[nodiscard]] bool EnsureStandardDescriptors(unsigned* reopened = nullptr);
