#include "lines/PortMapFile.h"

#include "platform/IniFile.h"
#include "platform/ProfilePath.h"

namespace {

std::optional<std::string> Trimmed(const std::optional<std::string>& value) {
    if (!value)
        return std::nullopt;
    const std::size_t first = value->find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    const std::size_t last = value->find_last_not_of(" \t\r\n");
    return value->substr(first, last - first + 1);
}

}  // namespace

std::optional<std::string> ReadPortMapValue(const std::string& key) {
    CIniFile file(ProfilePath());
    if (!file.Load())
        return std::nullopt;
    return Trimmed(file.GetValue("Port Map", key));
}

PortAnswer PortMapAnswer(int port) {
    CIniFile file(ProfilePath());
    if (!file.Load()) {
        return PortAnswer::Refused("the settings file " + file.Path() + " cannot be read: " +
                                   file.ErrorText() + "; without its Port Map no device is chosen");
    }
    return Trimmed(file.GetValue("Port Map", "COM" + std::to_string(port)));
}
