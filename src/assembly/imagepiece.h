#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

class Reporter;

// One source file as it goes into an image. Its size is known before its bytes are read: a
// regular file's from the file system; a pipe's, a FIFO's or a /proc file's once it was read to
// its end, and then its bytes are held (the only inputs held in memory, bounded by the image
// limit). Everything else is streamed from the file into each image it goes into.
//
// An Intel HEX file (judged by its content, as the converter judges it) is checked whole when it
// is opened, and a bad record is an error; it is placed as text from its first line (a byte order
// mark left out) up to its end-of-file record, which is kept aside for an image that has to end
// with it.
struct ImagePiece {
    QString sourcePath;
    bool intelHex = false;
    qint64 fileSize = 0;  // of the whole file
    qint64 dataStart = 0; // where the placed bytes start in the file
    qint64 dataSize = 0;  // the bytes placed
    QByteArray endOfFile; // the cut end-of-file record with its line end; empty when none was cut
    QByteArray held;      // the whole file, when it cannot be read twice; empty otherwise

    qint64 size() const { return dataSize; }
    bool isHeld() const { return !held.isEmpty() || fileSize == 0; }
    // Up to `length` bytes of the file as it is on disk, from `offset` (fewer at its end).
    QByteArray fileBytes(qint64 offset, qint64 length) const;
};

// Opens a source file and takes its measure without holding it, except for inputs that cannot be
// read twice; devices and directories are refused. Errors are reported (naming the file, and the
// line of a bad Intel HEX record) and give nothing. `heldBudget` is what inputs held in memory may
// still take; what this one holds is taken off it.
std::optional<ImagePiece> openImagePiece(const QString &sourcePath, Reporter &reporter, qint64 &heldBudget);

// A piece held in memory, for pieces made on the spot.
ImagePiece makeImagePiece(const QString &sourcePath, const QByteArray &fileData);
