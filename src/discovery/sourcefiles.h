#pragma once

#include <QString>

class QIODevice;

// Whether a file is listed as Intel HEX, judged by its first 20 lines: every line read must begin
// with ':'. An empty file counts as Intel HEX; a blank line among the first 20 does not; a file that
// cannot be opened is not one, nor is anything but a regular file (or a link to one), which is not
// opened: a FIFO would keep the reading waiting, a device never end. Only the lists of the window's tabs
// judge this way; reading a file is decided by detectInputFormat (hex/inputformat.h).
bool isIntelHexFile(const QString &path);
// The same rule on a device from its current position (which moves).
bool isIntelHexDevice(QIODevice &device);

// What the program says of an Intel HEX file offered where a raw image belongs (S-records and ELF
// files are told apart by content when they are read: AssemblyText).
namespace SourceText {
// The LoRa tab leaves such a file out of its sources.
QString intelHexLeftOut(const QString &path);
// The Binary tab refuses it as a piece.
QString wrongFormatTitle();
QString isIntelHex(const QString &path);
// The IntelHEX tab refuses a file that is not Intel HEX.
QString isNotIntelHex(const QString &path);
} // namespace SourceText
