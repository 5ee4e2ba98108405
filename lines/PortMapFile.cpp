#include "lines/PortMapFile.h"

#include "platform/IniFile.h"
#include "platform/ProfilePath.h"

std::optional<std::string> ReadPortMapValue(const std::string& key) {
    CIniFile file(ProfilePath());
    if (!file.Load())
        return std::nullopt;
    std::optional<std::string> value = file.GetValue("Port Map", key);
    if (!value)
        return std::nullopt;
    const std::size_t first = value->find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::nullopt;
    const std::size_t last = value->find_last_not_of(" \t\r\n");
    return value->substr(first, last - first + 1);
}
