#include "lines/SerialScan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace {

// "ttyS10" after "ttyS9": the name's letters, then its number.
bool NaturalLess(const std::string& a, const std::string& b) {
    const auto split = [](const std::string& name) {
        std::size_t digits = name.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0) {
            --digits;
        }
        const std::string number = name.substr(digits);
        return std::make_pair(name.substr(0, digits),
                              number.empty() ? -1L : std::stol(number.substr(0, 9)));
    };
    return split(a) < split(b);
}

std::vector<std::string> SortedNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    return names;
}

// The serial core gives every UART port a type; 0 (PORT_UNKNOWN) means nothing answers there.
bool HasUartType(const fs::path& ttyFolder) {
    std::ifstream in(ttyFolder / "type");
    long type = 0;
    return static_cast<bool>(in >> type) && type != 0;
}

}  // namespace

std::string TtyNameOf(const std::string& path) {
    std::error_code error;
    const fs::path target =
        fs::is_symlink(path, error) ? fs::read_symlink(path, error) : fs::path(path);
    return error ? fs::path(path).filename().string() : target.filename().string();
}

std::vector<FoundDevice> ScanSerialDevices(const std::string& root) {
    const fs::path base = root.empty() ? fs::path("/") : fs::path(root);
    std::vector<FoundDevice> found;
    std::set<std::string> ttys;
    const fs::path byId = base / "dev/serial/by-id";
    std::vector<std::string> ids = SortedNames(byId);
    std::sort(ids.begin(), ids.end());
    for (const std::string& id : ids) {
        const std::string tty = TtyNameOf((byId / id).string());
        if (ttys.insert(tty).second) {
            found.push_back({"/dev/serial/by-id/" + id, tty});
        }
    }
    std::vector<std::string> uarts;
    for (const std::string& name : SortedNames(base / "sys/class/tty")) {
        if (ttys.count(name) == 0 && HasUartType(base / "sys/class/tty" / name)) {
            uarts.push_back(name);
        }
    }
    std::sort(uarts.begin(), uarts.end(), NaturalLess);
    for (const std::string& name : uarts) {
        found.push_back({"/dev/" + name, name});
    }
    return found;
}
