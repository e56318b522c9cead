#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// Whether a file is Intel HEX judged by its first 20 lines: every line read must begin with ':'.
// An empty file counts as Intel HEX; a blank line among the first 20 does not; a file that cannot be
// opened is not judged to be one.
// A file that cannot be opened is not Intel HEX.
bool isIntelHexFile(const QString &path);
// The same rule on text already read, or on a device from its current position (which moves).
bool isIntelHexText(const QByteArray &text);
bool isIntelHexDevice(QIODevice &device);

// Every file under the directory (recursively, symbolic links not followed) whose name matches the
// one wildcard pattern, as full paths in the directory iterator's order. An empty directory path
// lists nothing.
QStringList listSourceFiles(const QString &directory, const QString &nameFilter);
