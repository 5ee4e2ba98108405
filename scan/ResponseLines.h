#pragma once

#include <QString>

#include <cstdint>
#include <span>

class IResponseList;

// One register as a list line, in the format of FormatRegisterLine (modbus/RegisterLine.h).
QString FormatResponseLine(std::uint16_t startAddress, int index, int referenceBase,
                           std::uint16_t value);

// The value of a line for the write dialog: the text after the last comma, trimmed, as an
// unsigned decimal (low 16 bits); a line without a comma is converted whole; empty gives 0.
std::uint16_t ReadValueFromLine(const QString& line);

// Rebuilds the list in place for `quantity` registers: each line replaces its predecessor,
// the list grows or is trimmed at its end, and it is repainted once. Registers beyond
// values.size() (a short answer) show 0. A negative quantity counts as 0.
void RebuildResponseList(IResponseList& list, std::uint16_t startAddress, int referenceBase,
                         std::span<const std::uint16_t> values, int quantity);

// Ends an update of the list (also after a cycle that did not touch the lines): redrawing on
// and one full repaint.
void FinishResponseListUpdate(IResponseList& list);
