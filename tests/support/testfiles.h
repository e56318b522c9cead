#pragma once

#include <initializer_list>
#include <utility>

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>

#include "intelhexrecord.h"

// Small real files for the tests: written where a test says, read back whole.
namespace TestFiles {

// Bytes that differ from their neighbours and from zero, so a misplaced or missing byte shows.
QByteArray pattern(int size, int seed);

// Writes `contents` to dir/name, making the folders on the way; returns the path. A file that
// cannot be written ends the test program, since nothing after it could mean anything.
QString write(const QString &dir, const QString &name, const QByteArray &contents);
// Writes `contents` to `path`, making the folders on the way; false when it could not.
bool writeFile(const QString &path, const QByteArray &contents);
// The whole file; empty when it cannot be read.
QByteArray read(const QString &path);

// The files a job left in a directory, by name, but for the release manifests beside the images.
QMap<QString, QByteArray> imagesIn(const QString &dir);

// Empty when the two sets of images have the same names and bytes; otherwise what differs first, in
// a few words (a failed comparison of whole images would print them byte by byte).
QString imageDifference(const QMap<QString, QByteArray> &actual, const QMap<QString, QByteArray> &expected);

// The expected image: zeros with each piece copied in at its offset.
QByteArray layout(std::initializer_list<std::pair<qint64, QByteArray>> pieces);

// A binary piece carrying a name field at the given offset.
QByteArray withField(QByteArray bytes, qint64 offset, const QByteArray &field);
// A NUL-padded name field of the given size.
QByteArray nameField(const QByteArray &text, int size);

// Appends one Intel HEX record as an upper-case line ended by CR LF, written by the program's own
// record formatter.
void appendRecordLine(QByteArray &out, IntelHexRecordType type, quint16 address, QByteArrayView data);

// One data record per 16 bytes of `bytes` from `address` (below 64 KiB), then the end-of-file
// record: a small, well-formed Intel HEX file.
QByteArray intelHexText(quint16 address, const QByteArray &bytes);

} // namespace TestFiles
