#pragma once

#include <QByteArrayView>
#include <QString>

class QIODevice;

// How an input is read, decided the same way by the converter, "quillon-cli info", compare, stamp,
// the join and the assemblers, by its content and never by its name:
// - a file that starts with the ELF magic bytes is ELF;
// - a file whose first non-empty line (after an optional UTF-8 byte order mark) is a well-formed
//   Intel HEX record is Intel HEX, and one whose first such line is a well-formed S-record is
//   Motorola S-record. It is then read as such to its end, so that a bad line further on is an
//   error with its line number, never a reason to take the file for binary;
// - anything else that holds bytes is binary.
// The join and the assemblers take Intel HEX as Intel HEX and anything else as raw bytes.
enum class InputFormat { Empty, Binary, IntelHex, SRecord, Elf };

// Decides from the start of the device without consuming anything: what is looked at is peeked,
// so a pipe is read once all the same.
InputFormat detectInputFormat(QIODevice &device);

// The same decision on the first bytes of an input; `complete` says they are the whole input.
InputFormat detectInputFormat(QByteArrayView head, bool complete);

// The format's name as the command-line tool prints it: "binary", "intel-hex", "s-record", "elf".
QString inputFormatName(InputFormat format);
