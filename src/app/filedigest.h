#pragma once

#include <QByteArray>
#include <QString>

// The SHA-256 of a file's content as 64 lower-case hex digits, read piece by piece; empty when it
// is not a regular file or cannot be read.
QByteArray sha256OfFile(const QString &path);
