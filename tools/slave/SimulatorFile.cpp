#include "tools/slave/SimulatorFile.h"

// Errors are values: toml++ reports through parse_result.
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <initializer_list>

#include "protocol/ExceptionCode.h"
#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "tools/profile/ProfileError.h"
#include "tools/profile/ProfileFile.h"
#include "tools/slave/DeviceIdentity.h"

namespace slave {

namespace {

using profile::LocatedError;
using profile::Quoted;

constexpr long kLastPort = 65535;
constexpr long kMaxDelayMs = 600000;
constexpr long kMaxIdleS = 86400;
constexpr long kLastFunction = protocol::kExceptionFlag - 1;
constexpr long kLastAddress = 0xFFFF;

int Line(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

// Reads one table, the first error kept with its line.
class CReader {
public:
    CReader(const std::string& path, std::string& error) : m_path(path), m_error(error) {}

    bool Fail(const toml::node& node, const std::string& reason) {
        if (m_error.empty()) {
            m_error = LocatedError(m_path, Line(node), reason);
        }
        return false;
    }
    bool Failed() const { return !m_error.empty(); }

    bool OnlyKeys(const toml::table& table, std::initializer_list<std::string_view> known) {
        for (const auto& [key, node] : table) {
            if (std::find(known.begin(), known.end(), key.str()) == known.end()) {
                return Fail(node, "unknown key " + Quoted(key.str()));
            }
        }
        return true;
    }

    std::optional<long> Integer(const toml::table& table, std::string_view key, long low,
                                long high) {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        const auto* value = node->as_integer();
        if (value == nullptr || value->get() < low || value->get() > high) {
            Fail(*node, std::string(key) + " must be a whole number " + std::to_string(low) +
                            " to " + std::to_string(high));
            return std::nullopt;
        }
        return static_cast<long>(value->get());
    }

    std::optional<std::string> Text(const toml::table& table, std::string_view key) {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        if (!node->is_string() || node->as_string()->get().empty()) {
            Fail(*node, std::string(key) + " must be a text");
            return std::nullopt;
        }
        return node->as_string()->get();
    }

    std::optional<bool> Flag(const toml::table& table, std::string_view key) {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            return std::nullopt;
        }
        if (!node->is_boolean()) {
            Fail(*node, std::string(key) + " must be true or false");
            return std::nullopt;
        }
        return node->as_boolean()->get();
    }

    // A number, a list of numbers, or a text such as "1-3,7".
    std::optional<std::vector<int>> Numbers(const toml::node& node, std::string_view key, long low,
                                            long high) {
        std::vector<int> numbers;
        const auto take = [&](const toml::node& item) {
            const auto* value = item.as_integer();
            if (value == nullptr || value->get() < low || value->get() > high) {
                return Fail(item, std::string(key) + " must be " + std::to_string(low) + " to " +
                                      std::to_string(high));
            }
            numbers.push_back(static_cast<int>(value->get()));
            return true;
        };
        if (const auto* list = node.as_array()) {
            for (const toml::node& item : *list) {
                if (!take(item)) {
                    return std::nullopt;
                }
            }
        } else if (const auto* text = node.as_string()) {
            if (!ParseRanges(text->get(), low, high, numbers)) {
                Fail(node, std::string(key) + " must be " + std::to_string(low) + " to " +
                               std::to_string(high) + ", as 1, 1-3 or 1,5,9");
                return std::nullopt;
            }
        } else if (!take(node)) {
            return std::nullopt;
        }
        if (numbers.empty()) {
            Fail(node, std::string(key) + " names nothing");
            return std::nullopt;
        }
        return numbers;
    }

private:
    static bool ParseRanges(std::string_view text, long low, long high, std::vector<int>& out) {
        while (!text.empty()) {
            const auto comma = text.find(',');
            const std::string_view item = text.substr(0, comma);
            const auto dash = item.find('-');
            long first = 0;
            long last = 0;
            if (!Whole(item.substr(0, dash), first) ||
                !Whole(dash == std::string_view::npos ? item : item.substr(dash + 1), last) ||
                first < low || last > high || first > last) {
                return false;
            }
            for (long n = first; n <= last; ++n) {
                out.push_back(static_cast<int>(n));
            }
            text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        }
        return true;
    }
    static bool Whole(std::string_view text, long& value) {
        if (text.empty() || text.size() > 6) {
            return false;
        }
        value = 0;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        return true;
    }

    const std::string& m_path;
    std::string& m_error;
};

bool ReadLine(CReader& reader, const toml::table& table, SlaveOptions& options) {
    if (!reader.OnlyKeys(table, {"mode", "baud", "parity", "data_bits", "stop_bits", "device",
                                 "link", "serve"})) {
        return false;
    }
    if (const auto mode = reader.Text(table, "mode")) {
        if (*mode != "rtu" && *mode != "ascii") {
            return reader.Fail(*table.get("mode"), "mode must be \"rtu\" or \"ascii\"");
        }
        options.mode = *mode == "rtu" ? Framing::Rtu : Framing::Ascii;
    }
    if (const auto baud = reader.Integer(table, "baud", 1, 4000000)) {
        options.baud = *baud;
    }
    if (const auto parity = reader.Text(table, "parity")) {
        if (*parity != "none" && *parity != "odd" && *parity != "even") {
            return reader.Fail(*table.get("parity"), "parity must be none, odd or even");
        }
        options.parity = *parity == "none"  ? Parity::None
                         : *parity == "odd" ? Parity::Odd
                                            : Parity::Even;
    }
    if (const auto bits = reader.Integer(table, "data_bits", 7, 8)) {
        options.dataBits = static_cast<int>(*bits);
    }
    if (const auto bits = reader.Integer(table, "stop_bits", 1, 2)) {
        options.stopBits = static_cast<int>(*bits);
    }
    if (const auto device = reader.Text(table, "device")) {
        options.device = *device;
    }
    if (const auto link = reader.Text(table, "link")) {
        options.link = *link;
    }
    options.line = reader.Flag(table, "serve").value_or(true);
    return !reader.Failed();
}

// A path of the file, resolved against its folder.
std::string FilePath(const std::string& text, const std::filesystem::path& folder) {
    const std::filesystem::path named(text);
    return (named.is_absolute() ? named : folder / named).lexically_normal();
}

bool ReadNetwork(CReader& reader, const toml::table& table, const std::filesystem::path& folder,
                 SlaveOptions& options) {
    if (!reader.OnlyKeys(
            table, {"tcp", "udp", "rtu_tcp", "tls", "cert", "key", "ca", "bind", "idle_timeout"})) {
        return false;
    }
    const std::pair<std::string_view, Transport> kinds[] = {{"tcp", Transport::Tcp},
                                                            {"udp", Transport::Udp},
                                                            {"rtu_tcp", Transport::RtuTcp},
                                                            {"tls", Transport::Tls}};
    for (const auto& [key, kind] : kinds) {
        if (const auto port = reader.Integer(table, key, 0, kLastPort)) {
            options.ports.push_back({kind, static_cast<int>(*port)});
        }
    }
    const std::pair<std::string_view, std::string*> files[] = {
        {"cert", &options.tlsCert}, {"key", &options.tlsKey}, {"ca", &options.tlsCa}};
    for (const auto& [key, target] : files) {
        if (const auto path = reader.Text(table, key)) {
            *target = FilePath(*path, folder);
        }
    }
    if (const auto bind = reader.Text(table, "bind")) {
        options.bindAddress = *bind;
    }
    if (const auto idle = reader.Integer(table, "idle_timeout", 1, kMaxIdleS)) {
        options.idleTimeoutS = static_cast<int>(*idle);
    }
    return !reader.Failed();
}

// "10" or "0-999".
std::optional<AddressSpan> ParseSpan(std::string_view text) {
    const auto number = [](std::string_view digits) -> std::optional<long> {
        long value = 0;
        const char* end = digits.data() + digits.size();
        const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
        if (digits.empty() || ec != std::errc() || ptr != end || value < 0 ||
            value > kLastAddress) {
            return std::nullopt;
        }
        return value;
    };
    const auto dash = text.find('-');
    const auto first = number(text.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : number(text.substr(dash + 1));
    if (!first || !last || *first > *last) {
        return std::nullopt;
    }
    return AddressSpan{static_cast<std::uint16_t>(*first), static_cast<std::uint16_t>(*last)};
}

bool ReadRole(CReader& reader, std::string_view name, const toml::table& table, CRoleTable& roles) {
    if (!reader.OnlyKeys(table, {"functions", "addresses", "exception"})) {
        return false;
    }
    RoleRights rights;
    rights.name = std::string(name);
    const toml::node* functions = table.get("functions");
    if (functions == nullptr) {
        return reader.Fail(table, "role " + Quoted(name) + " needs its functions");
    }
    // An empty list is a role that may do nothing, as a role the table does not name.
    const auto* list = functions->as_array();
    if (list == nullptr || !list->empty()) {
        const auto codes = reader.Numbers(*functions, "functions", 1, kLastFunction);
        if (!codes) {
            return false;
        }
        for (const int code : *codes) {
            rights.functions.set(static_cast<std::size_t>(code));
        }
    }
    if (const toml::node* addresses = table.get("addresses")) {
        const char* expected = "addresses must be a list of ranges 0 to 65535, as [\"0-99\", 200]";
        const auto* spans = addresses->as_array();
        if (spans == nullptr || spans->empty()) {
            return reader.Fail(*addresses, expected);
        }
        for (const toml::node& item : *spans) {
            std::optional<AddressSpan> span;
            if (const auto* text = item.as_string()) {
                span = ParseSpan(text->get());
            } else if (const auto* number = item.as_integer();
                       number != nullptr && number->get() >= 0 && number->get() <= kLastAddress) {
                const auto address = static_cast<std::uint16_t>(number->get());
                span = AddressSpan{address, address};
            }
            if (!span) {
                return reader.Fail(item, expected);
            }
            rights.addresses.push_back(*span);
        }
    }
    if (const auto exception = reader.Integer(table, "exception", protocol::kIllegalFunction,
                                              protocol::kLastExceptionCode)) {
        rights.exception = static_cast<std::uint8_t>(*exception);
    }
    if (reader.Failed()) {
        return false;
    }
    roles.Add(std::move(rights));
    return true;
}

// [roles]: default = "NAME", and a table [roles.NAME] for each role.
bool ReadRoles(CReader& reader, const toml::table& table, CRoleTable& roles) {
    for (const auto& [key, node] : table) {
        if (key.str() == "default") {
            if (!node.is_string() || node.as_string()->get().empty()) {
                return reader.Fail(node, "default must be the name of a role");
            }
            roles.SetDefault(node.as_string()->get());
        } else if (const auto* role = node.as_table()) {
            if (!ReadRole(reader, key.str(), *role, roles)) {
                return false;
            }
        } else {
            return reader.Fail(node, "unknown key " + Quoted(key.str()) +
                                         ": a role is a table, [roles." + std::string(key.str()) +
                                         "]");
        }
    }
    return true;
}

bool ReadIdentity(CReader& reader, const toml::table& table, profile::Identity& identity) {
    const std::pair<std::string_view, std::optional<std::string>*> texts[] = {
        {"vendor", &identity.vendor},
        {"product", &identity.product},
        {"revision", &identity.revision},
        {"vendor_url", &identity.vendorUrl},
        {"product_name", &identity.productName},
        {"model_name", &identity.modelName},
        {"user_application_name", &identity.userApplicationName},
        {"server_id", &identity.serverId}};
    for (const auto& [key, target] : texts) {
        if (const auto text = reader.Text(table, key)) {
            if (!IsIdentityText(*text)) {
                return reader.Fail(
                    *table.get(key),
                    std::string(key) + " must be 1 to 244 printable ASCII characters");
            }
            *target = *text;
        }
    }
    return !reader.Failed();
}

bool ReadUnit(CReader& reader, const toml::table& table, const std::filesystem::path& folder,
              UnitPlan& unit) {
    if (!reader.OnlyKeys(
            table, {"id", "profile", "faults", "delay", "silent", "corrupt", "wrong_id", "refuse",
                    "vendor", "product", "revision", "vendor_url", "product_name", "model_name",
                    "user_application_name", "server_id"})) {
        return false;
    }
    unit.line = Line(table);
    const toml::node* id = table.get("id");
    if (id == nullptr) {
        return reader.Fail(table, "a unit needs its id");
    }
    const auto ids =
        reader.Numbers(*id, "id", protocol::kFirstUnitAddress, protocol::kLastUnitAddress);
    if (!ids) {
        return false;
    }
    unit.ids = *ids;
    if (const auto path = reader.Text(table, "profile")) {
        const std::filesystem::path named(*path);
        unit.profilePath = (named.is_absolute() ? named : folder / named).lexically_normal();
    }
    if (const auto letters = reader.Text(table, "faults")) {
        const auto plan = CFaultPlan::Parse(*letters);
        if (!plan) {
            return reader.Fail(*table.get("faults"), "faults takes the letters . c s d w");
        }
        unit.faults.plan = *plan;
    }
    if (const auto delay = reader.Integer(table, "delay", 0, kMaxDelayMs)) {
        unit.faults.delayMs = static_cast<int>(*delay);
    }
    if (const auto every = reader.Integer(table, "corrupt", 1, 1000000)) {
        unit.faults.corruptEvery = static_cast<int>(*every);
    }
    unit.faults.silent = reader.Flag(table, "silent").value_or(false);
    unit.faults.wrongId = reader.Flag(table, "wrong_id").value_or(false);
    if (const toml::node* refuse = table.get("refuse")) {
        const auto functions = reader.Numbers(*refuse, "refuse", 1, kLastFunction);
        if (!functions) {
            return false;
        }
        unit.refused = *functions;
    }
    return ReadIdentity(reader, table, unit.identity);
}

}  // namespace

std::optional<SimulatorFile> ParseSimulatorFile(std::string_view text, const std::string& path,
                                                std::string& error) {
    error.clear();
    toml::parse_result parsed = toml::parse(text, path);
    if (!parsed) {
        const toml::parse_error& failure = parsed.error();
        error = LocatedError(path, static_cast<int>(failure.source().begin.line),
                             std::string(failure.description()));
        return std::nullopt;
    }
    const toml::table& root = parsed.table();
    CReader reader(path, error);
    if (!reader.OnlyKeys(root, {"line", "network", "roles", "unit"})) {
        return std::nullopt;
    }
    SimulatorFile file;
    file.options.line = false;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const toml::node* line = root.get("line");
    if (line != nullptr) {
        if (!line->is_table()) {
            reader.Fail(*line, "line must be a table: [line]");
            return std::nullopt;
        }
        if (!ReadLine(reader, *line->as_table(), file.options)) {
            return std::nullopt;
        }
    }
    if (const toml::node* network = root.get("network")) {
        if (!network->is_table()) {
            reader.Fail(*network, "network must be a table: [network]");
            return std::nullopt;
        }
        if (!ReadNetwork(reader, *network->as_table(), folder, file.options)) {
            return std::nullopt;
        }
    }
    if (const toml::node* roles = root.get("roles")) {
        if (!roles->is_table()) {
            reader.Fail(*roles, "roles must be a table: [roles]");
            return std::nullopt;
        }
        file.options.roles.emplace();
        if (!ReadRoles(reader, *roles->as_table(), *file.options.roles)) {
            return std::nullopt;
        }
    }
    if (line == nullptr && file.options.ports.empty()) {
        file.options.line = true;
    }
    const toml::node* units = root.get("unit");
    if (units == nullptr || !units->is_array_of_tables() || units->as_array()->empty()) {
        error = LocatedError(path, units != nullptr ? Line(*units) : 0,
                             "the file names no unit: add [[unit]] tables");
        return std::nullopt;
    }
    std::vector<int> seen;
    for (const toml::node& node : *units->as_array()) {
        UnitPlan unit;
        if (!ReadUnit(reader, *node.as_table(), folder, unit)) {
            return std::nullopt;
        }
        for (const int id : unit.ids) {
            if (std::find(seen.begin(), seen.end(), id) != seen.end()) {
                reader.Fail(node, "unit " + std::to_string(id) + " is given twice");
                return std::nullopt;
            }
            seen.push_back(id);
        }
        file.units.push_back(std::move(unit));
    }
    file.options.ids.clear();
    for (const UnitPlan& unit : file.units) {
        file.options.ids.insert(file.options.ids.end(), unit.ids.begin(), unit.ids.end());
    }
    return file;
}

std::optional<SimulatorFile> LoadSimulatorFile(const std::string& path, std::string& error) {
    std::string text;
    if (!profile::ReadProfileFile(path, text, error)) {
        return std::nullopt;
    }
    return ParseSimulatorFile(text, path, error);
}

}  // namespace slave
