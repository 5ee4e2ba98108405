#include "framework/NumberText.h"

namespace {

bool IsCSpace(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r';
}

int DigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'z') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'Z') {
        return u - u'A' + 10;
    }
    return 99;
}

bool IsHexForm(const QString& upper) {
    return upper.startsWith(QLatin1String("0X")) || upper.endsWith(QLatin1Char('H'));
}

}  // namespace

std::uint32_t StringToUnsigned32(QStringView text, int base) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // The prefix counts only when a hex digit follows; otherwise the "0" alone is the number.
    if (base == 16 && i + 2 < n && text[i] == u'0' &&
        (text[i + 1] == u'x' || text[i + 1] == u'X') && DigitValue(text[i + 2]) < 16) {
        i += 2;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < n; ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) {
            break;
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) {
            overflow = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (overflow) {
        return 0xFFFFFFFFu;
    }
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

std::uint32_t ParseAddressText(const QString& text, std::uint32_t max) {
    const QString upper = text.toUpper();
    const std::uint32_t value = StringToUnsigned32(upper, IsHexForm(upper) ? 16 : 10);
    return value > max ? max : value;
}

std::uint32_t ParseUnsignedDecimal(const QString& text, std::uint32_t max) {
    const std::uint32_t value = StringToUnsigned32(text, 10);
    return value > max ? max : value;
}

std::int32_t ParseSignedDecimal4(const QString& text) {
    const QStringView head = QStringView(text).left(4);
    qsizetype i = 0;
    while (i < head.size() && IsCSpace(head[i])) {
        ++i;
    }
    bool negative = false;
    if (i < head.size() && (head[i] == u'+' || head[i] == u'-')) {
        negative = head[i] == u'-';
        ++i;
    }
    std::int32_t value = 0;
    for (; i < head.size(); ++i) {
        const char16_t u = head[i].unicode();
        if (u < u'0' || u > u'9') {
            break;
        }
        value = value * 10 + (u - u'0');
    }
    return negative ? -value : value;
}

std::uint16_t ParseWriteValue(const QString& text, bool* blank) {
    const QString trimmed = text.trimmed();
    if (blank != nullptr) {
        *blank = trimmed.isEmpty();
    }
    if (trimmed.isEmpty()) {
        return 0;
    }
    const QString upper = trimmed.toUpper();
    return static_cast<std::uint16_t>(StringToUnsigned32(upper, IsHexForm(upper) ? 16 : 10) &
                                      0xFFFFu);
}

QString FormatHex04Upper(std::uint32_t value) {
    return QString::asprintf("0x%04X", static_cast<unsigned>(value));
}

QString FormatHex04Lower(std::uint32_t value) {
    return QString::asprintf("0x%04x", static_cast<unsigned>(value));
}

QString FormatHexShort(std::uint32_t value) {
    return QString::asprintf("0x%x", static_cast<unsigned>(value));
}

QString FormatDecimal(int value) {
    return QString::asprintf("%d", value);
}
