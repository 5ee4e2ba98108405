#include "platform/PortResolver.h"

#include <cstdlib>
#include <mutex>
#include <utility>

namespace {

std::mutex& ResolverMutex() {
    static std::mutex mutex;
    return mutex;
}

PortResolver& InstalledResolver() {
    static PortResolver resolver;
    return resolver;
}

}  // namespace

void InstallPortResolver(PortResolver resolver) {
    std::lock_guard<std::mutex> lock(ResolverMutex());
    InstalledResolver() = std::move(resolver);
}

PortDevice ResolvePort(int port) {
    const std::string name = "VORNAK_COM" + std::to_string(port);
    if (const char* value = std::getenv(name.c_str()); value != nullptr && *value != '\0') {
        return {value, PortSource::Environment};
    }
    {
        // Held while the resolver runs so that it cannot be replaced (and destroyed) mid-call.
        std::lock_guard<std::mutex> lock(ResolverMutex());
        if (const PortResolver& resolver = InstalledResolver()) {
            if (std::optional<std::string> path = resolver(port); path && !path->empty()) {
                return {std::move(*path), PortSource::Resolver};
            }
        }
    }
    return {"/dev/ttyS" + std::to_string(port - 1), PortSource::Default};
}
