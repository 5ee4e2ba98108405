#include "tools/profile/ProfileToml.h"

// The only file that includes the parser, for it is slow to compile. The target builds it with
// TOML_EXCEPTIONS=0: errors are values here as everywhere, through parse_result.
#include <toml++/impl/preprocessor.h>
// toml++ 3.3 asserts, in debug builds, conditions that malformed text breaks ("[[,a]]" aborts),
// and has release builds assume them; the error paths behind them report such text well. Bad
// files must get those errors, never an abort nor a wrong assumption.
#undef TOML_ASSERT
#define TOML_ASSERT(expr) static_cast<void>(0)
#undef TOML_ASSERT_ASSUME
#define TOML_ASSERT_ASSUME(expr) static_cast<void>(0)
#include <toml++/toml.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "tools/profile/NumberText.h"
#include "tools/profile/ProfileCheck.h"
#include "tools/profile/ProfileError.h"
#include "tools/profile/TomlAscii.h"

namespace profile {

namespace {

using Keys = std::initializer_list<std::string_view>;

int Line(const toml::node& node) {
    return static_cast<int>(node.source().begin.line);
}

// The key nearest the top of the file that is not among `known`, so typos show in file order.
const toml::key* UnknownKey(const toml::table& table, std::span<const std::string_view> known) {
    const toml::key* first = nullptr;
    for (const auto& [key, node] : table) {
        const bool isKnown = std::find(known.begin(), known.end(), key.str()) != known.end();
        if (!isKnown &&
            (first == nullptr || key.source().begin.line < first->source().begin.line)) {
            first = &key;
        }
    }
    return first;
}

const toml::key* UnknownKey(const toml::table& table, Keys known) {
    return UnknownKey(table, std::span(known.begin(), known.size()));
}

// A motion takes only the keys its kind uses, so a sine's "step" is caught as a typo.
std::span<const std::string_view> MotionKeys(MotionKind kind) {
    static constexpr std::string_view kIncrement[] = {"kind", "step", "period"};
    static constexpr std::string_view kRandom[] = {"kind", "min", "max", "period"};
    static constexpr std::string_view kSine[] = {"kind", "amplitude", "offset", "period"};
    static constexpr std::string_view kToggle[] = {"kind", "period"};
    static constexpr std::string_view kCopy[] = {"kind", "of"};
    static constexpr std::string_view kKindOnly[] = {"kind"};
    switch (kind) {
        case MotionKind::Increment:
            return kIncrement;
        case MotionKind::Random:
            return kRandom;
        case MotionKind::Sine:
            return kSine;
        case MotionKind::Toggle:
            return kToggle;
        case MotionKind::Copy:
            return kCopy;
        default:
            return kKindOnly;
    }
}

std::optional<double> Number(const toml::node& node) {
    if (node.is_integer()) {
        return static_cast<double>(node.as_integer()->get());
    }
    if (node.is_floating_point()) {
        return node.as_floating_point()->get();
    }
    return std::nullopt;
}

// The initial value as the text a user would type: 230.0 is "230", true is "true".
std::optional<std::string> ValueText(const toml::node& node) {
    if (node.is_string()) {
        return node.as_string()->get();
    }
    if (node.is_integer()) {
        return std::to_string(node.as_integer()->get());
    }
    if (node.is_floating_point()) {
        return NumberText(node.as_floating_point()->get());
    }
    if (node.is_boolean()) {
        return node.as_boolean()->get() ? "true" : "false";
    }
    return std::nullopt;
}

class TomlReader {
public:
    TomlReader(DeviceProfile& profile, std::string& error) : profile_(profile), error_(error) {}

    bool Read(const toml::table& root) {
        if (const toml::key* key = UnknownKey(root, {"identity", "device", "point"})) {
            return Fail(static_cast<int>(key->source().begin.line),
                        "unknown key " + Quoted(key->str()));
        }
        if (const toml::node* identity = root.get("identity")) {
            if (!identity->is_table()) {
                return Fail(Line(*identity), "identity must be a [identity] table");
            }
            if (!ReadIdentity(*identity->as_table())) {
                return false;
            }
        }
        if (const toml::node* device = root.get("device")) {
            if (!device->is_table()) {
                return Fail(Line(*device), "device must be a [device] table");
            }
            if (!ReadDevice(*device->as_table())) {
                return false;
            }
        }
        if (const toml::node* points = root.get("point")) {
            return ReadPoints(*points);
        }
        return true;
    }

private:
    bool Fail(int line, const std::string& reason) {
        error_ = LocatedError(profile_.path, line, reason);
        return false;
    }

    bool ReadIdentity(const toml::table& table) {
        Identity& id = profile_.identity;
        const std::pair<std::string_view, std::optional<std::string>*> fields[] = {
            {"vendor", &id.vendor},
            {"product", &id.product},
            {"revision", &id.revision},
            {"vendor_url", &id.vendorUrl},
            {"product_name", &id.productName},
            {"model_name", &id.modelName},
            {"user_application_name", &id.userApplicationName},
            {"server_id", &id.serverId},
        };
        if (const toml::key* key =
                UnknownKey(table, {"vendor", "product", "revision", "vendor_url", "product_name",
                                   "model_name", "user_application_name", "server_id"})) {
            return Fail(static_cast<int>(key->source().begin.line),
                        "unknown key " + Quoted(key->str()) + " in [identity]");
        }
        for (const auto& [name, field] : fields) {
            const toml::node* node = table.get(name);
            if (node == nullptr) {
                continue;
            }
            const std::string key = "identity " + std::string(name);
            if (!node->is_string()) {
                return Fail(Line(*node), key + " must be text");
            }
            const std::string& text = node->as_string()->get();
            if (auto problem = IdentityTextProblem(text); !problem.empty()) {
                return Fail(Line(*node), key + ": " + problem);
            }
            *field = text;
        }
        return true;
    }

    bool ReadDevice(const toml::table& table) {
        if (const toml::key* key = UnknownKey(table, {"order", "read_only_exception", "unit"})) {
            return Fail(static_cast<int>(key->source().begin.line),
                        "unknown key " + Quoted(key->str()) + " in [device]");
        }
        if (const toml::node* node = table.get("order")) {
            const auto order =
                node->is_string() ? poll::ParseWordOrder(node->as_string()->get()) : std::nullopt;
            if (!order) {
                return Fail(Line(*node), "unknown word order (ABCD CDAB BADC DCBA)");
            }
            order_ = *order;
        }
        if (const toml::node* node = table.get("read_only_exception")) {
            const std::int64_t code = node->is_integer() ? node->as_integer()->get() : -1;
            if (code != protocol::kIllegalDataAddress && code != protocol::kServerDeviceFailure) {
                return Fail(Line(*node), "read_only_exception must be " +
                                             std::to_string(protocol::kIllegalDataAddress) +
                                             " or " +
                                             std::to_string(protocol::kServerDeviceFailure));
            }
            profile_.readOnlyException = static_cast<std::uint8_t>(code);
        }
        if (const toml::node* node = table.get("unit")) {
            const std::int64_t unit = node->is_integer() ? node->as_integer()->get() : -1;
            if (unit < protocol::kFirstUnitAddress || unit > protocol::kLastUnitAddress) {
                return Fail(Line(*node), "unit must be " +
                                             std::to_string(protocol::kFirstUnitAddress) + " to " +
                                             std::to_string(protocol::kLastUnitAddress));
            }
            profile_.unit = static_cast<int>(unit);
        }
        return true;
    }

    bool ReadPoints(const toml::node& node) {
        const toml::array* points = node.as_array();
        if (points == nullptr || !points->is_array_of_tables()) {
            return Fail(Line(node), "point must be [[point]] tables");
        }
        profile_.points.reserve(std::min(points->size(), kMaxPoints));
        for (std::size_t i = 0; i < points->size(); ++i) {
            const toml::node& each = *points->get(i);
            if (i == kMaxPoints) {
                return Fail(Line(each), "more than " + std::to_string(kMaxPoints) + " points");
            }
            if (!ReadPoint(*each.as_table())) {
                return false;
            }
        }
        return true;
    }

    bool ReadPoint(const toml::table& table) {
        Point point;
        point.line = Line(table);
        point.order = order_;
        const toml::node* name = table.get("name");
        if (name == nullptr) {
            return Fail(point.line, "point without a name");
        }
        if (!name->is_string()) {
            return Fail(Line(*name), "point name must be text");
        }
        point.name = name->as_string()->get();
        const auto fail = [&](const toml::node* at, const std::string& reason) {
            return Fail(at != nullptr ? Line(*at) : point.line,
                        "point " + Quoted(point.name) + ": " + reason);
        };
        if (const toml::key* key = UnknownKey(
                table, {"name", "table", "address", "type", "order", "scale", "offset", "unit",
                        "writable", "initial", "motion", "bit", "width", "length"})) {
            error_ =
                LocatedError(profile_.path, static_cast<int>(key->source().begin.line),
                             "point " + Quoted(point.name) + ": unknown key " + Quoted(key->str()));
            return false;
        }
        const toml::node* tableName = table.get("table");
        if (tableName == nullptr) {
            return fail(nullptr, "no table");
        }
        const auto pointTable =
            tableName->is_string() ? ParseTable(tableName->as_string()->get()) : std::nullopt;
        if (!pointTable) {
            return fail(tableName, "unknown table (coil discrete holding input)");
        }
        point.table = *pointTable;
        const toml::node* address = table.get("address");
        if (address == nullptr) {
            return fail(nullptr, "no address");
        }
        const std::int64_t at = address->is_integer() ? address->as_integer()->get() : -1;
        if (at < 0 || at > kLastAddress) {
            return fail(address, "address must be an integer 0 to " + std::to_string(kLastAddress));
        }
        point.address = static_cast<std::uint16_t>(at);
        std::string why;
        const toml::node* type = table.get("type");
        if (type != nullptr && !type->is_string()) {
            return fail(type, "type must be text");
        }
        if (!SetPointType(point, type ? std::optional(type->as_string()->get()) : std::nullopt,
                          why)) {
            return fail(type, why);
        }
        if (const toml::node* order = table.get("order")) {
            const auto parsed =
                order->is_string() ? poll::ParseWordOrder(order->as_string()->get()) : std::nullopt;
            if (!parsed) {
                return fail(order, "unknown word order (ABCD CDAB BADC DCBA)");
            }
            point.order = *parsed;
        }
        for (const auto& [key, field] :
             {std::pair{"scale", &point.scale}, std::pair{"offset", &point.offset}}) {
            if (const toml::node* node = table.get(key)) {
                const auto number = Number(*node);
                if (!number) {
                    return fail(node, std::string(key) + " must be a number");
                }
                *field = *number;
            }
        }
        if (const toml::node* unit = table.get("unit")) {
            if (!unit->is_string()) {
                return fail(unit, "unit must be text");
            }
            point.unit = unit->as_string()->get();
        }
        if (const toml::node* writable = table.get("writable")) {
            if (!writable->is_boolean()) {
                return fail(writable, "writable must be true or false");
            }
            point.writable = writable->as_boolean()->get();
        }
        // Out-of-range sizes are kept just out of range, for the checks to name.
        const auto integer = [&](const char* key, std::int64_t lo, std::int64_t hi,
                                 auto& field) -> bool {
            const toml::node* node = table.get(key);
            if (node == nullptr) {
                return true;
            }
            if (!node->is_integer()) {
                return fail(node, std::string(key) + " must be an integer");
            }
            field = static_cast<std::remove_reference_t<decltype(field)>>(
                std::clamp(node->as_integer()->get(), lo - 1, hi + 1));
            return true;
        };
        if (!integer("width", 1, 16, point.width) ||
            !integer("length", 1, static_cast<std::int64_t>(kMaxStringLength), point.length)) {
            return false;
        }
        if (const toml::node* bit = table.get("bit")) {
            const std::int64_t first = bit->is_integer() ? bit->as_integer()->get() : -1;
            if (first < 0 || first > 15) {
                return fail(bit, "bit must be an integer 0 to 15");
            }
            point.bit = static_cast<int>(first);
        }
        if (const toml::node* initial = table.get("initial")) {
            const auto text = ValueText(*initial);
            if (!text) {
                return fail(initial, "initial must be a number, true, false or text");
            }
            point.initial = *text;
        }
        if (const toml::node* motion = table.get("motion")) {
            if (!ReadMotion(*motion, point)) {
                return false;
            }
        }
        profile_.points.push_back(std::move(point));
        return true;
    }

    bool ReadMotion(const toml::node& node, Point& point) {
        const auto fail = [&](const toml::node& at, const std::string& reason) {
            return Fail(Line(at), "point " + Quoted(point.name) + ": " + reason);
        };
        const toml::table* table = node.as_table();
        if (table == nullptr) {
            return fail(node, "motion must be a table such as { kind = \"sine\", ... }");
        }
        const toml::node* kindNode = table->get("kind");
        const auto kind = kindNode != nullptr && kindNode->is_string()
                              ? ParseMotionKind(kindNode->as_string()->get())
                              : std::nullopt;
        if (!kind) {
            return fail(kindNode != nullptr ? *kindNode : node,
                        "motion kind must be one of increment random sine toggle copy clock "
                        "uptime none");
        }
        Motion& motion = point.motion;
        motion.kind = *kind;
        const std::span<const std::string_view> keys = MotionKeys(*kind);
        const std::string kindName = MotionName(*kind);
        if (const toml::key* key = UnknownKey(*table, keys)) {
            error_ = LocatedError(profile_.path, static_cast<int>(key->source().begin.line),
                                  "point " + Quoted(point.name) + ": unknown key " +
                                      Quoted(key->str()) + " in a " + kindName + " motion");
            return false;
        }
        const std::pair<const char*, double*> numbers[] = {
            {"step", &motion.step}, {"period", &motion.period},       {"min", &motion.min},
            {"max", &motion.max},   {"amplitude", &motion.amplitude}, {"offset", &motion.offset},
        };
        for (const auto& [key, field] : numbers) {
            if (const toml::node* value = table->get(key)) {
                const auto number = Number(*value);
                if (!number) {
                    return fail(*value, kindName + " " + key + " must be a number");
                }
                *field = *number;
            }
        }
        if (*kind == MotionKind::Random && (!table->get("min") || !table->get("max"))) {
            return fail(node, "a random motion needs min and max");
        }
        if (*kind == MotionKind::Sine && !table->get("amplitude")) {
            return fail(node, "a sine motion needs an amplitude");
        }
        if (*kind == MotionKind::Copy) {
            const toml::node* of = table->get("of");
            if (of == nullptr || !of->is_string()) {
                return fail(of != nullptr ? *of : node, "a copy motion needs of = \"point\"");
            }
            motion.source = of->as_string()->get();
        }
        return true;
    }

    DeviceProfile& profile_;
    std::string& error_;
    poll::WordOrder order_ = poll::WordOrder::Abcd;
};

}  // namespace

std::optional<DeviceProfile> ParseProfileToml(std::string_view text, const std::string& path,
                                              std::string& error) {
    if (const auto line = NonAsciiOutsideStrings(text)) {
        error = LocatedError(path, *line, "a character past ASCII outside a string or comment");
        return std::nullopt;
    }
    toml::parse_result parsed = toml::parse(text, std::string_view(path));
    if (!parsed) {
        error = LocatedError(path, static_cast<int>(parsed.error().source().begin.line),
                             parsed.error().description());
        return std::nullopt;
    }
    DeviceProfile profile;
    profile.path = path;
    TomlReader reader(profile, error);
    if (!reader.Read(parsed.table()) || !CheckProfile(profile, error)) {
        return std::nullopt;
    }
    return profile;
}

}  // namespace profile
