#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;
class Reporter;

// Whether a file is listed as Intel HEX, judged by its first 20 lines: every line read must begin
// with ':'. An empty file counts as Intel HEX; a blank line among the first 20 does not; a file that
// cannot be opened is not one. Only the lists of the window's tabs judge this way; reading a file
// is decided by detectInputFormat (hex/inputformat.h).
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

// Every file under the directory (recursively, symbolic links not followed) whose name matches the
// one wildcard pattern, as full paths in name order: by file name, letter case aside and then
// minded, then by path. An empty directory path lists nothing.
QStringList listSourceFiles(const QString &directory, const QString &nameFilter);

// One file found for a LoRa source, and whether the LoRa tab takes it.
struct ScannedSourceFile {
    QString path;
    bool accepted = true;
};

// The files of one LoRa source directory as the LoRa tab takes them, in name order: under a
// ".hex" filter, files that are Intel HEX by content are announced to the reporter and left out
// (the tab takes raw images only).
QList<ScannedSourceFile> scanLoRaSource(const QString &directory, const QString &nameFilter,
                                        Reporter &reporter);
