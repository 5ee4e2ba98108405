#include "lines/PortResolver.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "lines/LineAddress.h"
#include "lines/SerialScan.h"

namespace {

constexpr int kPorts = 16;

std::mutex& ResolverMutex() {
    static std::mutex mutex;
    return mutex;
}

PortResolver& InstalledResolver() {
    static PortResolver resolver;
    return resolver;
}

// Filled once; held under ResolverMutex.
std::optional<std::vector<FoundDevice>>& Found() {
    static std::optional<std::vector<FoundDevice>> found;
    return found;
}

std::optional<PortDevice> Mapped(int port) {
    const std::string name = "VORNAK_COM" + std::to_string(port);
    if (const char* value = std::getenv(name.c_str()); value != nullptr && *value != '\0') {
        if (const std::optional<std::string> fault = ControlCharacterFault(value)) {
            return PortDevice{"", PortSource::Refused, name + " holds " + *fault};
        }
        return PortDevice{value, PortSource::Environment, ""};
    }
    // The caller holds the mutex so that the resolver cannot be replaced (and destroyed)
    // mid-call.
    if (const PortResolver& resolver = InstalledResolver()) {
        PortAnswer answer = resolver(port);
        if (!answer.refusal.empty()) {
            return PortDevice{"", PortSource::Refused, std::move(answer.refusal)};
        }
        if (answer.device && !answer.device->empty()) {
            if (const std::optional<std::string> fault = ControlCharacterFault(*answer.device)) {
                return PortDevice{"", PortSource::Refused,
                                  "the Port Map's COM" + std::to_string(port) + " holds " + *fault};
            }
            return PortDevice{std::move(*answer.device), PortSource::Resolver, ""};
        }
    }
    return std::nullopt;
}

}  // namespace

void InstallPortResolver(PortResolver resolver) {
    std::lock_guard<std::mutex> lock(ResolverMutex());
    InstalledResolver() = std::move(resolver);
}

void RescanSerialDevices(const std::string& root) {
    std::vector<FoundDevice> found = ScanSerialDevices(root);
    std::lock_guard<std::mutex> lock(ResolverMutex());
    Found() = std::move(found);
}

PortDevice ResolvePort(int port) {
    std::lock_guard<std::mutex> lock(ResolverMutex());
    if (std::optional<PortDevice> mapped = Mapped(port)) {
        return *mapped;
    }
    if (!Found()) {
        Found() = ScanSerialDevices("/");
    }
    // The numbers nobody maps, in order, take the found devices the map does not name.
    std::set<std::string> named;
    std::vector<int> free;
    for (int n = 1; n <= kPorts; ++n) {
        if (std::optional<PortDevice> mapped = n == port ? std::nullopt : Mapped(n)) {
            // A refused number names no device, but it is not free to take one either.
            if (mapped->source != PortSource::Refused) {
                const std::string target = LineTarget(mapped->path);
                named.insert(target);
                named.insert(TtyNameOf(target));
            }
        } else {
            free.push_back(n);
        }
    }
    std::size_t next = 0;
    for (int n : free) {
        while (next < Found()->size() && (named.count((*Found())[next].tty) != 0 ||
                                          named.count((*Found())[next].path) != 0)) {
            ++next;
        }
        if (next == Found()->size()) {
            break;
        }
        if (n == port) {
            return {(*Found())[next].path, PortSource::Found, ""};
        }
        ++next;
    }
    return {"/dev/ttyS" + std::to_string(port - 1), PortSource::Default, ""};
}
