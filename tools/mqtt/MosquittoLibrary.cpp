#include "tools/mqtt/MosquittoLibrary.h"

#include <mosquitto.h>

namespace mqtt {

namespace {

struct Library {
    Library() { mosquitto_lib_init(); }
    ~Library() { mosquitto_lib_cleanup(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

}  // namespace

void EnsureMosquittoLibrary() {
    static Library library;
}

}  // namespace mqtt
