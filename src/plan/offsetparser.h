#pragma once

#include <optional>

#include <QString>

// Offsets are typed as hexadecimal numbers ("8000" or "0x8000", HexNumber's rule); an empty field
// means 0. The largest offset is the largest 32-bit signed value, the range the images are
// addressed in.
constexpr qint64 MaximumOffset = 0x7FFFFFFF;

// The offset a field's text stands for, or nothing when the text is not such a number.
std::optional<qint64> parseOffset(const QString &text);

// The error shown for a field whose text is not an offset; fieldName is what the user sees the
// field called (a label in the window, an option on the command line).
QString invalidOffsetMessage(const QString &fieldName, const QString &text);
