#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

// A resolver's answer for one number: a device, nothing (the number is not mapped), or a
// refusal, when the map cannot be read and any device chosen without it could be the wrong one.
struct PortAnswer {
    PortAnswer(std::optional<std::string> mapped = std::nullopt) : device(std::move(mapped)) {}
    static PortAnswer Refused(std::string why) {
        PortAnswer answer;
        answer.refusal = std::move(why);
        return answer;
    }
    std::optional<std::string> device;
    std::string refusal;  // not empty: the number opens nothing
};

// Maps a COM port number (1 to 16) to a device path. A resolver installed by the application
// (the "Port Map" of the settings file) answers for the numbers it knows.
using PortResolver = std::function<PortAnswer(int port)>;

// Mapped by VORNAK_COM<n>, mapped by the resolver, found on this machine, the default, or
// refused: no device, as the map could not be read or the mapping holds a control character.
enum class PortSource { Environment, Resolver, Found, Default, Refused };

struct PortDevice {
    std::string path;  // empty when refused, which no open takes for a device
    PortSource source = PortSource::Default;
    std::string refusal;  // why, when refused
};

// Installs (or, with an empty function, removes) the application's resolver.
void InstallPortResolver(PortResolver resolver);

// Looks for the serial devices present under root ("/" for this machine). The first ResolvePort
// does it once; the program calls it at start, tests with a fake tree.
void RescanSerialDevices(const std::string& root = "/");

// VORNAK_COM<n> when set and not empty (the settings file is then not needed), else the
// installed resolver's answer; else the numbers nobody maps take the devices found on this
// machine in order, leaving out devices the map already names; else /dev/ttyS<n-1>. A refusal of
// the resolver, or a mapping with a control character, refuses the number: nothing is guessed.
PortDevice ResolvePort(int port);
inline std::string ResolvePortDevice(int port) {
    return ResolvePort(port).path;
}
