#include "tools/profile/ProfileCheck.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "tools/profile/NumberText.h"
#include "tools/profile/PointOverlap.h"
#include "tools/profile/PointValue.h"
#include "tools/profile/ProfileError.h"

namespace profile {

namespace {

using poll::ValueType;

bool IsNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
}

std::string NameProblem(const std::string& name) {
    if (name.empty()) {
        return "point without a name";
    }
    if (name.size() > kMaxNameLength) {
        return "point name " + Quoted(name) + " is longer than " + std::to_string(kMaxNameLength) +
               " characters";
    }
    for (const char c : name) {
        if (!IsNameCharacter(c)) {
            return "point name " + Quoted(name) +
                   " may hold only letters, digits, '_', '.' and '-'";
        }
    }
    return {};
}

std::string BitFieldProblem(const Point& point) {
    if (!point.IsBitField()) {
        return point.width != 1 ? "width without bit" : "";
    }
    if (point.IsBit()) {
        return std::string("bit fields are for registers, not ") + TableName(point.table) +
               " points";
    }
    if (point.type != ValueType::Uint16) {
        return "a bit field is uint16, not " + std::string(poll::TypeName(point.type));
    }
    if (point.width < 1 || point.width > 16) {
        return "width " + std::to_string(point.width) + " is not 1 to 16";
    }
    if (point.bit + point.width > 16) {
        return "bit " + std::to_string(point.bit) + " + width " + std::to_string(point.width) +
               " is past 16";
    }
    return {};
}

std::string ValueProblem(const Point& point, double value, const char* what) {
    std::string why;
    if (!EncodePoint(point, value, why)) {
        return std::string(what) + ": " + why;
    }
    return {};
}

std::string MotionProblem(const Point& point) {
    const Motion& motion = point.motion;
    if (motion.kind == MotionKind::None) {
        return {};
    }
    const std::string kind = MotionName(motion.kind);
    if (point.type == ValueType::String && !point.IsBit() && motion.kind != MotionKind::Copy) {
        return kind + " motion on a string: only copy is possible";
    }
    const bool periodic = motion.kind == MotionKind::Increment ||
                          motion.kind == MotionKind::Random || motion.kind == MotionKind::Sine ||
                          motion.kind == MotionKind::Toggle;
    if (periodic && !(motion.period > 0 && std::isfinite(motion.period))) {
        return kind + " period " + NumberText(motion.period) + " is not above 0";
    }
    switch (motion.kind) {
        case MotionKind::Increment:
            if (motion.step == 0 || !std::isfinite(motion.step)) {
                return "increment step " + NumberText(motion.step) + " moves nothing";
            }
            return {};
        case MotionKind::Random:
            if (!(motion.min <= motion.max)) {
                return "random min " + NumberText(motion.min) + " is above max " +
                       NumberText(motion.max);
            }
            if (auto problem = ValueProblem(point, motion.min, "random min"); !problem.empty()) {
                return problem;
            }
            return ValueProblem(point, motion.max, "random max");
        case MotionKind::Sine: {
            const double swing = std::fabs(motion.amplitude);
            if (auto low = ValueProblem(point, motion.offset - swing, "sine low"); !low.empty()) {
                return low;
            }
            return ValueProblem(point, motion.offset + swing, "sine high");
        }
        case MotionKind::Copy:
            return motion.source.empty() ? "copy motion without the point it copies" : "";
        default:
            return {};
    }
}

std::string WritableProblem(const Point& point) {
    if (point.writable && point.table == PointTable::Input) {
        return "an input register cannot be writable";
    }
    if (point.writable && point.table == PointTable::DiscreteInput) {
        return "a discrete input cannot be writable";
    }
    return {};
}

std::string ShapeProblem(const Point& point) {
    if (auto problem = BitFieldProblem(point); !problem.empty()) {
        return problem;
    }
    const bool isString = point.type == ValueType::String && !point.IsBit();
    if (isString && (point.length == 0 || point.length > kMaxStringLength)) {
        return "a string needs a length of 1 to " + std::to_string(kMaxStringLength);
    }
    if (!isString && point.length != 0) {
        return "length is for string points";
    }
    if (point.scale == 0 || !std::isfinite(point.scale) || !std::isfinite(point.offset)) {
        return "scale " + NumberText(point.scale) + " and offset " + NumberText(point.offset) +
               " must be finite, scale not 0";
    }
    if (point.IsBit() && (point.scale != 1 || point.offset != 0)) {
        return std::string("a ") + TableName(point.table) + " takes no scale or offset";
    }
    // The unit is printed beside every value: no byte of it may drive a terminal.
    if (std::any_of(point.unit.begin(), point.unit.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return byte < 0x20 || byte == 0x7F;
        })) {
        return "the unit holds a control character";
    }
    if (point.address + point.Registers() - 1 > kLastAddress) {
        return "runs past address " + std::to_string(kLastAddress);
    }
    return {};
}

std::string CrossProblem(const DeviceProfile& profile, const Point& point,
                         const std::unordered_map<std::string_view, std::size_t>& byName) {
    if (point.motion.kind != MotionKind::Copy) {
        return {};
    }
    if (point.motion.source == point.name) {
        return "copies itself";
    }
    const auto found = byName.find(point.motion.source);
    if (found == byName.end()) {
        return "copy of unknown point " + Quoted(point.motion.source);
    }
    const Point& source = profile.points[found->second];
    const auto isString = [](const Point& p) { return p.type == ValueType::String && !p.IsBit(); };
    if (isString(source) != isString(point)) {
        return "copies " + Quoted(source.name) + ": a string and a number";
    }
    return {};
}

std::string DeviceProblem(const DeviceProfile& profile) {
    const std::pair<const char*, const std::optional<std::string>*> texts[] = {
        {"vendor", &profile.identity.vendor},
        {"product", &profile.identity.product},
        {"revision", &profile.identity.revision},
        {"vendor_url", &profile.identity.vendorUrl},
        {"product_name", &profile.identity.productName},
        {"model_name", &profile.identity.modelName},
        {"user_application_name", &profile.identity.userApplicationName},
        {"server_id", &profile.identity.serverId},
    };
    for (const auto& [key, text] : texts) {
        if (*text) {
            if (auto problem = IdentityTextProblem(**text); !problem.empty()) {
                return std::string("identity ") + key + ": " + problem;
            }
        }
    }
    if (profile.readOnlyException != protocol::kIllegalDataAddress &&
        profile.readOnlyException != protocol::kServerDeviceFailure) {
        return "read_only_exception must be " + std::to_string(protocol::kIllegalDataAddress) +
               " or " + std::to_string(protocol::kServerDeviceFailure);
    }
    if (profile.unit && (*profile.unit < protocol::kFirstUnitAddress ||
                         *profile.unit > protocol::kLastUnitAddress)) {
        return "unit must be " + std::to_string(protocol::kFirstUnitAddress) + " to " +
               std::to_string(protocol::kLastUnitAddress);
    }
    return {};
}

}  // namespace

bool SetPointType(Point& point, std::optional<std::string_view> name, std::string& why) {
    if (!name || *name == "bool") {
        if (name && !point.IsBit()) {
            why = "type 'bool' is for coil and discrete points";
            return false;
        }
        point.type = ValueType::Uint16;
        return true;
    }
    const auto type = poll::ParseValueType(*name);
    if (!type || *type == ValueType::Hex || *type == ValueType::Bin) {
        why = "unknown type " + Quoted(*name) +
              " (uint16 int16 uint32 int32 float32 uint64 int64 float64 string bool)";
        return false;
    }
    if (point.IsBit()) {
        why = std::string("a ") + TableName(point.table) + " point is bool, not " + Quoted(*name);
        return false;
    }
    point.type = *type;
    return true;
}

std::string IdentityTextProblem(std::string_view text) {
    if (text.empty() || text.size() > kMaxIdentityText) {
        return "must be 1 to " + std::to_string(kMaxIdentityText) + " characters";
    }
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return "must be printable ASCII";
        }
    }
    return {};
}

std::string PointProblem(const Point& point) {
    if (auto problem = ShapeProblem(point); !problem.empty()) {
        return problem;
    }
    if (auto problem = WritableProblem(point); !problem.empty()) {
        return problem;
    }
    std::string why;
    if (!point.initial.empty() && !EncodePoint(point, point.initial, why)) {
        return "initial value " + why;
    }
    return MotionProblem(point);
}

bool CheckProfile(const DeviceProfile& profile, std::string& error) {
    const auto fail = [&](const Point& point, const std::string& reason) {
        error =
            LocatedError(profile.path, point.line, "point " + Quoted(point.name) + ": " + reason);
        return false;
    };
    if (profile.points.size() > kMaxPoints) {
        error = LocatedError(profile.path, profile.points[kMaxPoints].line,
                             "more than " + std::to_string(kMaxPoints) + " points");
        return false;
    }
    std::unordered_map<std::string_view, std::size_t> byName;
    byName.reserve(profile.points.size());
    for (std::size_t i = 0; i < profile.points.size(); ++i) {
        const Point& point = profile.points[i];
        if (auto problem = NameProblem(point.name); !problem.empty()) {
            error = LocatedError(profile.path, point.line, problem);
            return false;
        }
        const auto [first, fresh] = byName.emplace(point.name, i);
        if (!fresh) {
            return fail(point, "duplicate name, first on line " +
                                   std::to_string(profile.points[first->second].line));
        }
        if (auto problem = PointProblem(point); !problem.empty()) {
            return fail(point, problem);
        }
    }
    for (const Point& point : profile.points) {
        if (auto problem = CrossProblem(profile, point, byName); !problem.empty()) {
            return fail(point, problem);
        }
    }
    if (const auto overlap = FindOverlap(profile.points)) {
        const Point& earlier = profile.points[overlap->first];
        return fail(
            profile.points[overlap->second],
            "overlaps " + Quoted(earlier.name) + " (line " + std::to_string(earlier.line) + ")");
    }
    if (auto problem = DeviceProblem(profile); !problem.empty()) {
        error = LocatedError(profile.path, 0, problem);
        return false;
    }
    return true;
}

}  // namespace profile
