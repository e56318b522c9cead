#pragma once

#include <QString>

// Numbers as the program shows addresses, offsets and bytes: upper-case hexadecimal digits.
namespace HexText {

// The digits alone, at least `width` of them: digits(0xAB, 4) is "00AB".
QString digits(quint64 value, int width = 0);
// With "0x" in front: number(0x8000) is "0x8000", number(0xA, 2) is "0x0A".
QString number(quint64 value, int width = 0);
// An address in the 32-bit space: address(0x800A000) is "0x0800A000".
QString address(quint64 value);

} // namespace HexText
