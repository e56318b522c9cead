#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "inputformat.h"

class Reporter;

// One source file as it goes into an image, byte for byte. Its size is known before its bytes are
// read: a regular file's from the file system; a pipe's, a FIFO's or a /proc file's once it was read
// to its end, and then its bytes are held (the only inputs held in memory, bounded by the image
// limit). Everything else is streamed from the file into each image it goes into.
struct ImagePiece {
    QString sourcePath;
    // What the file holds, judged as the converter judges it: the LoRa and Binary images take raw
    // images only and refuse Intel HEX, S-records and ELF.
    InputFormat format = InputFormat::Binary;
    qint64 fileSize = 0;
    QByteArray held; // the whole file, when it cannot be read twice; empty otherwise

    qint64 size() const { return fileSize; }
    bool isHeld() const { return !held.isEmpty() || fileSize == 0; }
    // Records or an executable: its bytes placed as they are would be a wrong image.
    bool isRecordOrExecutable() const
    {
        return format == InputFormat::IntelHex || format == InputFormat::SRecord ||
               format == InputFormat::Elf;
    }
    // Up to `length` bytes of the file from `offset` (fewer at its end).
    QByteArray fileBytes(qint64 offset, qint64 length) const;
};

// Opens a source file and takes its measure without holding it, except for inputs that cannot be
// read twice; devices and directories are refused. Errors are reported (naming the file) and give
// nothing. `heldBudget` is what inputs held in memory may still take; what this one holds is taken
// off it.
std::optional<ImagePiece> openImagePiece(const QString &sourcePath, Reporter &reporter, qint64 &heldBudget);
