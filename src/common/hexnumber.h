#pragma once

#include <limits>
#include <optional>

#include <QStringView>
#include <QtGlobal>

// Hexadecimal numbers as the user types them, in the settings files, on the command line and in the
// window's fields, all read by one rule: blanks around the number are dropped, then an optional "0x"
// or "0X", then one or more hexadecimal digits of either case and nothing else (no sign, no blank
// inside); the value must not pass `largest`, the width of what it is typed for. An empty text is no
// number here: what an empty field means (0, a default, an error) is its caller's to say.
namespace HexNumber {

std::optional<quint64> parse(QStringView text, quint64 largest = std::numeric_limits<quint64>::max());

// True for a field on its way to a number while it is typed: nothing but blanks, or "0x" alone.
bool isUnfinished(QStringView text);

} // namespace HexNumber
