#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// Text <-> number conversions of the scan form and the write dialog. The conversions follow
// the C library's strtoul/atoi on a 32-bit unsigned long, because users type the same texts
// that the program has always accepted: blanks, signs, prefixes and trailing junk included.

// strtoul on a 32-bit unsigned long: leading white space skipped, optional sign (a minus
// negates in unsigned arithmetic), in base 16 an optional "0x"/"0X", digits up to the first
// character that is not a digit of the base, 0 without digits, 0xFFFFFFFF on overflow.
std::uint32_t StringToUnsigned32(QStringView text, int base);

// An address or quantity edit: upper case; hexadecimal when it begins with "0X" or ends with
// "H", otherwise decimal; the result is at most `max` (a larger number saturates).
std::uint32_t ParseAddressText(const QString& text, std::uint32_t max = 0xFFFF);

// A plain unsigned decimal edit (the slave id), at most `max`.
std::uint32_t ParseUnsignedDecimal(const QString& text, std::uint32_t max);

// atoi over at most the first four characters: blanks, optional sign, leading digits; 0 when
// there are none.
std::int32_t ParseSignedDecimal4(const QString& text);

// The write dialog's value: trimmed; an empty text sets *blank (when given) and yields 0.
// Hexadecimal when the upper-cased text begins with "0X" or ends with "H", else decimal; the
// low 16 bits of the strtoul result.
std::uint16_t ParseWriteValue(const QString& text, bool* blank);

QString FormatHex04Upper(std::uint32_t value);  // "0x%04X"
QString FormatHex04Lower(std::uint32_t value);  // "0x%04x"
QString FormatHexShort(std::uint32_t value);    // "0x%x"
QString FormatDecimal(int value);               // "%d"
