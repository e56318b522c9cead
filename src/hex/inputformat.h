#pragma once

#include <QByteArrayView>

class QIODevice;

// How an input that may be Intel HEX or raw binary is read, decided the same way by the converter,
// "quillon-cli info", the join and the assemblers: a file whose first non-empty line (after an
// optional UTF-8 byte order mark) is a well-formed Intel HEX record is Intel HEX, and is then read
// as such to its end, so that a bad line further on is an error with its line number, never a
// reason to take the file for binary. Anything else that holds bytes is binary.
enum class InputFormat { Empty, Binary, IntelHex };

// Decides from the start of the device without consuming anything: what is looked at is peeked,
// so a pipe is read once all the same.
InputFormat detectInputFormat(QIODevice &device);

// The same decision on the first bytes of an input; `complete` says they are the whole input.
InputFormat detectInputFormat(QByteArrayView head, bool complete);
