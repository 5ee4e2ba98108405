#pragma once

namespace mqtt {

// libmosquitto wants one init and one cleanup per process: the first caller does the init,
// the process's end the cleanup.
void EnsureMosquittoLibrary();

}  // namespace mqtt
