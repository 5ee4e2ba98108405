#include "scan/ResponseLines.h"

#include <charconv>
#include <cstddef>
#include <string_view>
#include <system_error>

#include "framework/NumberText.h"
#include "scan/ResponseList.h"

namespace {

// Appends like "%04x" (lower case, at least four digits) and "%d". A rebuild formats up to 125
// lines per cycle; this is several times quicker than a printf-style format.
char* AppendHex4(char* out, char* end, unsigned value) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, 16);
    for (std::ptrdiff_t pad = 4 - (r.ptr - digits); pad > 0 && out < end; --pad)
        *out++ = '0';
    for (const char* d = digits; d < r.ptr && out < end; ++d)
        *out++ = *d;
    return out;
}

char* AppendDecimal(char* out, char* end, long long value) {
    const auto r = std::to_chars(out, end, value);
    return r.ec == std::errc() ? r.ptr : out;
}

char* AppendText(char* out, char* end, std::string_view text) {
    for (char c : text) {
        if (out == end)
            break;
        *out++ = c;
    }
    return out;
}

}  // namespace

QString FormatResponseLine(std::uint16_t startAddress, int index, int referenceBase,
                           std::uint16_t value) {
    const int address = static_cast<int>(startAddress) + index;
    char line[96];
    char* const end = line + sizeof line;
    char* out = AppendText(line, end, "[Address : 0x");
    out = AppendHex4(out, end, static_cast<unsigned>(address));
    out = AppendText(out, end, " / ");
    out = AppendDecimal(out, end, static_cast<long long>(address) + referenceBase);
    out = AppendText(out, end, " ] = 0x");
    out = AppendHex4(out, end, value);
    out = AppendText(out, end, ", ");
    out = AppendDecimal(out, end, value);
    return QString::fromLatin1(line, out - line);
}

std::uint16_t ReadValueFromLine(const QString& line) {
    const qsizetype comma = line.lastIndexOf(QLatin1Char(','));
    const QString tail = comma < 0 ? line : line.mid(comma + 1);
    return static_cast<std::uint16_t>(StringToUnsigned32(tail.trimmed(), 10) & 0xFFFFu);
}

void RebuildResponseList(IResponseList& list, std::uint16_t startAddress, int referenceBase,
                         std::span<const std::uint16_t> values, int quantity) {
    if (quantity < 0) {
        quantity = 0;
    }
    const int mark = list.SelectionMark();
    const int oldCount = list.Count();

    list.SetRedraw(false);
    // Replacing line by line instead of clearing keeps the scroll position and avoids flicker.
    for (int i = 0; i < quantity; ++i) {
        const std::uint16_t value =
            static_cast<std::size_t>(i) < values.size() ? values[static_cast<std::size_t>(i)] : 0;
        const QString line = FormatResponseLine(startAddress, i, referenceBase, value);
        if (i < list.Count()) {
            list.ReplaceItem(i, line);
        } else {
            list.InsertItem(i, line);
        }
    }
    for (int surplus = oldCount - quantity; surplus > 0; --surplus) {
        list.DeleteItem(quantity);
    }
    // Replaced items lose their selected state; only the anchor is carried over, and an anchor
    // on the first line is deliberately left alone.
    if (mark > 0 && mark < list.Count()) {
        list.SetSelectionMark(mark);
    }
    FinishResponseListUpdate(list);
}

void FinishResponseListUpdate(IResponseList& list) {
    list.SetRedraw(true);
    list.Invalidate();
}
