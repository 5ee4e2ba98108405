#pragma once

#include <functional>
#include <optional>
#include <string>

// Maps a COM port number (1 to 16) to a device path. A resolver installed by the application
// (the GUI's "Port Map") answers for the numbers it knows; it returns nullopt for the others.
using PortResolver = std::function<std::optional<std::string>(int port)>;

// Mapped by VORNAK_COM<n>, mapped by the resolver, found on this machine, or the default.
enum class PortSource { Environment, Resolver, Found, Default };

struct PortDevice {
    std::string path;
    PortSource source = PortSource::Default;
};

// Installs (or, with an empty function, removes) the application's resolver.
void InstallPortResolver(PortResolver resolver);

// Looks for the serial devices present under root ("/" for this machine). The first ResolvePort
// does it once; the program calls it at start, tests with a fake tree.
void RescanSerialDevices(const std::string& root = "/");

// VORNAK_COM<n> when set and not empty, else the installed resolver's answer; else the numbers
// nobody maps take the devices found on this machine in order, leaving out devices the map
// already names; else /dev/ttyS<n-1>.
PortDevice ResolvePort(int port);
inline std::string ResolvePortDevice(int port) {
    return ResolvePort(port).path;
}
