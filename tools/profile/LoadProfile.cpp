#include "tools/profile/LoadProfile.h"

#include <algorithm>
#include <cctype>

#include "tools/profile/ProfileFile.h"
#include "tools/profile/ProfileToml.h"
#include "tools/profile/RegisterList.h"

namespace profile {

namespace {

bool IsRegisterList(const std::string& path) {
    constexpr std::string_view kExtension = ".csv";
    return path.size() >= kExtension.size() &&
           std::equal(
               kExtension.begin(), kExtension.end(), path.end() - kExtension.size(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

}  // namespace

std::optional<DeviceProfile> LoadProfile(const std::string& path, std::string& error) {
    std::string text;
    if (!ReadProfileFile(path, text, error)) {
        return std::nullopt;
    }
    return IsRegisterList(path) ? ParseRegisterList(text, path, error)
                                : ParseProfileToml(text, path, error);
}

}  // namespace profile
