#pragma once

#include <functional>
#include <optional>
#include <string>

// Maps a COM port number (1 to 16) to a device path. A resolver installed by the application
// (the GUI's "Port Map") answers for the numbers it knows; it returns nullopt for the others.
using PortResolver = std::function<std::optional<std::string>(int port)>;

enum class PortSource { Environment, Resolver, Default };

struct PortDevice {
    std::string path;
    PortSource source = PortSource::Default;
};

// Installs (or, with an empty function, removes) the application's resolver.
void InstallPortResolver(PortResolver resolver);

// VORNAK_COM<n> when set and not empty, else the installed resolver's answer, else /dev/ttyS<n-1>.
PortDevice ResolvePort(int port);
inline std::string ResolvePortDevice(int port) {
    return ResolvePort(port).path;
}
