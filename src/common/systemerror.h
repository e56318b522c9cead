#pragma once

#include <QString>

class QIODevice;

// Operating-system errors in words, in Russian like every other message. Qt's file classes put an
// error code into words only when the failing call took no byte at all: a write cut short by a full
// disk reads "Unknown error" there, and the C library's own text follows the locale (English on
// most build machines, and on Windows). So the code itself (errno) is read right after the failure.
namespace SystemError {

// Forgets any earlier error code: call right before the operation whose failure may be described.
void clear();

// The code's meaning: the program's words for the codes file operations meet, the C library's
// (strerror) for any other.
QString text(int code);

// Why the last operation on the device failed: the error code it left since clear(), or, when it
// left none, the device's own reason.
QString of(const QIODevice &device);

} // namespace SystemError
