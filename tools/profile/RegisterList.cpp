#include "tools/profile/RegisterList.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>

#include "tools/profile/CsvLine.h"
#include "tools/profile/NumberText.h"
#include "tools/profile/ProfileCheck.h"
#include "tools/profile/ProfileError.h"

namespace profile {

namespace {

enum Column {
    kName,
    kTable,
    kAddress,
    kType,
    kOrder,
    kScale,
    kOffset,
    kUnit,
    kWritable,
    kLength,
    kBit,
    kWidth,
    kColumns
};

constexpr std::array<std::string_view, kColumns> kColumnNames = {
    "name",   "table", "address",  "type",   "order", "scale",
    "offset", "unit",  "writable", "length", "bit",   "width",
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::int64_t> Integer(std::string_view text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> Writable(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower.empty() || lower == "no" || lower == "false" || lower == "0" || lower == "ro") {
        return false;
    }
    if (lower == "yes" || lower == "true" || lower == "1" || lower == "rw") {
        return true;
    }
    return std::nullopt;
}

class ListReader {
public:
    ListReader(DeviceProfile& profile, std::string& error) : profile_(profile), error_(error) {}

    bool Read(std::string_view text) {
        if (text.starts_with(kByteOrderMark)) {
            text.remove_prefix(kByteOrderMark.size());
        }
        int line = 0;
        bool header = true;
        while (!text.empty()) {
            const std::size_t end = std::min(text.find('\n'), text.size());
            std::string_view row = text.substr(0, end);
            text.remove_prefix(std::min(end + 1, text.size()));
            ++line;
            if (row.ends_with('\r')) {
                row.remove_suffix(1);
            }
            const std::string_view trimmed = Trimmed(row);
            if (trimmed.empty() || trimmed.starts_with('#')) {
                continue;
            }
            if (header ? !ReadHeader(row, line) : !ReadRow(row, line)) {
                return false;
            }
            header = false;
        }
        return !header || Fail(0, "no header line naming the columns");
    }

private:
    bool Fail(int line, const std::string& reason) {
        error_ = LocatedError(profile_.path, line, reason);
        return false;
    }

    bool ReadHeader(std::string_view row, int line) {
        separator_ = CsvSeparator(row);
        std::string why;
        if (!SplitCsvLine(row, separator_, fields_, why)) {
            return Fail(line, why);
        }
        at_.fill(-1);
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const std::string name = Lower(fields_[i]);
            const auto known = std::find(kColumnNames.begin(), kColumnNames.end(), name);
            if (known == kColumnNames.end()) {
                return Fail(line, "unknown column " + Quoted(fields_[i]) +
                                      " (name table address type order scale offset unit "
                                      "writable length bit width)");
            }
            int& column = at_[static_cast<std::size_t>(known - kColumnNames.begin())];
            if (column >= 0) {
                return Fail(line, "column " + Quoted(name) + " appears twice");
            }
            column = static_cast<int>(i);
        }
        for (const Column required : {kName, kTable, kAddress}) {
            if (at_[required] < 0) {
                return Fail(line, "no " + Quoted(kColumnNames[required]) + " column");
            }
        }
        columns_ = fields_.size();
        return true;
    }

    // Lists separated by ';' come from locales that write a decimal comma.
    std::optional<double> Number(std::string_view text) const {
        std::string number(text);
        if (separator_ == ';') {
            std::replace(number.begin(), number.end(), ',', '.');
        }
        return ParseNumber(number);
    }

    std::string_view Field(Column column) const {
        return at_[column] < 0 ? std::string_view()
                               : fields_[static_cast<std::size_t>(at_[column])];
    }

    bool ReadRow(std::string_view row, int line) {
        std::string why;
        if (!SplitCsvLine(row, separator_, fields_, why)) {
            return Fail(line, why);
        }
        if (fields_.size() != columns_) {
            return Fail(line, std::to_string(fields_.size()) + " fields where the header names " +
                                  std::to_string(columns_));
        }
        if (profile_.points.size() == kMaxPoints) {
            return Fail(line, "more than " + std::to_string(kMaxPoints) + " points");
        }
        Point point;
        point.line = line;
        point.name = Field(kName);
        if (point.name.empty()) {
            return Fail(line, "point without a name");
        }
        const auto fail = [&](const std::string& reason) {
            return Fail(line, "point " + Quoted(point.name) + ": " + reason);
        };
        if (Field(kTable).empty()) {
            return fail("no table");
        }
        const auto table = ParseTable(Lower(Field(kTable)));
        if (!table) {
            return fail("unknown table " + Quoted(Field(kTable)) +
                        " (coil discrete holding input)");
        }
        point.table = *table;
        if (Field(kAddress).empty()) {
            return fail("no address");
        }
        const auto address = poll::ParseRegister(Field(kAddress));
        if (!address) {
            return fail("address " + Quoted(Field(kAddress)) + " must be an integer 0 to " +
                        std::to_string(kLastAddress));
        }
        point.address = *address;
        const std::string type = Lower(Field(kType));
        if (!SetPointType(
                point, type.empty() ? std::nullopt : std::optional<std::string_view>(type), why)) {
            return fail(why);
        }
        if (!Field(kOrder).empty()) {
            const auto order = poll::ParseWordOrder(Field(kOrder));
            if (!order) {
                return fail("unknown word order " + Quoted(Field(kOrder)) +
                            " (ABCD CDAB BADC DCBA)");
            }
            point.order = *order;
        }
        for (const auto& [column, field] :
             {std::pair{kScale, &point.scale}, std::pair{kOffset, &point.offset}}) {
            if (!Field(column).empty()) {
                const auto number = Number(Field(column));
                if (!number) {
                    return fail(std::string(kColumnNames[column]) + " " + Quoted(Field(column)) +
                                " is not a number");
                }
                *field = *number;
            }
        }
        point.unit = Field(kUnit);
        const auto writable = Writable(Field(kWritable));
        if (!writable) {
            return fail("writable " + Quoted(Field(kWritable)) + " must be yes or no");
        }
        point.writable = *writable;
        if (!ReadSizes(point, fail)) {
            return false;
        }
        profile_.points.push_back(std::move(point));
        return true;
    }

    // Out-of-range sizes are kept just out of range, for the checks to name.
    template <typename Fail>
    bool ReadSizes(Point& point, const Fail& fail) const {
        std::optional<std::int64_t> values[3];
        const Column columns[3] = {kLength, kBit, kWidth};
        for (int i = 0; i < 3; ++i) {
            const std::string_view text = Field(columns[i]);
            if (text.empty()) {
                continue;
            }
            values[i] = Integer(text);
            if (!values[i]) {
                return fail(std::string(kColumnNames[columns[i]]) + " " + Quoted(text) +
                            " must be an integer");
            }
        }
        if (values[0]) {
            point.length = static_cast<std::size_t>(
                std::clamp<std::int64_t>(*values[0], 0, kMaxStringLength + 1));
        }
        if (values[1]) {
            if (*values[1] < 0 || *values[1] > 15) {
                return fail("bit must be an integer 0 to 15");
            }
            point.bit = static_cast<int>(*values[1]);
        }
        if (values[2]) {
            point.width = static_cast<int>(std::clamp<std::int64_t>(*values[2], 0, 17));
        }
        return true;
    }

    DeviceProfile& profile_;
    std::string& error_;
    char separator_ = ',';
    std::vector<std::string> fields_;
    std::array<int, kColumns> at_{};
    std::size_t columns_ = 0;
};

}  // namespace

std::optional<DeviceProfile> ParseRegisterList(std::string_view text, const std::string& path,
                                               std::string& error) {
    DeviceProfile profile;
    profile.path = path;
    ListReader reader(profile, error);
    if (!reader.Read(text) || !CheckProfile(profile, error)) {
        return std::nullopt;
    }
    return profile;
}

}  // namespace profile
