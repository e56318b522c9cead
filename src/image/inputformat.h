#pragma once

#include <QByteArrayView>
#include <QString>

class QIODevice;

// How an input is read, decided the same way by the converter, "quillon-cli info", compare, stamp,
// the join and the assemblers, by its content and never by its name:
// - a file that starts with the ELF magic bytes is ELF;
// - a file whose first non-empty line (after an optional UTF-8 byte order mark) has the shape of an
//   Intel HEX record (':' and a hex digit) is Intel HEX, and one whose first such line has the
//   shape of an S-record ('S' or 's', a digit, a hex digit) is Motorola S-record. It is then read as
//   such to its end, so that any fault, on the first line or further on, is an error naming the
//   line, never a reason to take the file for binary;
// - anything else that holds bytes is binary.
// The join and the assemblers take Intel HEX as Intel HEX and anything else as raw bytes.
enum class InputFormat { Empty, Binary, IntelHex, SRecord, Elf };

// Decides from the start of the device without consuming anything: what is looked at is peeked,
// so a pipe is read once all the same.
InputFormat detectInputFormat(QIODevice &device);

// The same decision on the first bytes of an input.
InputFormat detectInputFormat(QByteArrayView head);

// The format's name as the command-line tool prints it: "binary", "intel-hex", "s-record", "elf".
QString inputFormatName(InputFormat format);
