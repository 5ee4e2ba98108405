#include "platform/ProfilePath.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

constexpr char kProfileTail[] = "/Quorvix/Vornak.ini";

// Only an absolute setting counts; a relative one would depend on the working folder.
const char* AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

}  // namespace

std::string ProfilePath() {
    if (const char* config = AbsoluteVariable("XDG_CONFIG_HOME"))
        return std::string(config) + kProfileTail;
    std::string home;
    if (const char* value = AbsoluteVariable("HOME")) {
        home = value;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        home = pw->pw_dir;
    }
    if (home.empty())
        return std::string();
    return home + "/.config" + kProfileTail;
}
