#include "scan/ResponseLines.h"

#include <cstddef>

#include "framework/NumberText.h"
#include "modbus/RegisterLine.h"
#include "scan/ResponseList.h"

QString FormatResponseLine(std::uint16_t startAddress, int index, int referenceBase,
                           std::uint16_t value) {
    char line[kRegisterLineCapacity];
    const std::size_t length = FormatRegisterLine(line, startAddress, index, referenceBase, value);
    return QString::fromLatin1(line, static_cast<qsizetype>(length));
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
