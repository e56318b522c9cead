#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

#include "inputformat.h"
#include "intelhexreader.h"
#include "result.h"

class InputFile;
class QIODevice;

// One source file as it goes into an image, byte for byte, opened once for a whole build: its size
// and format are taken when it is opened, and the name fields and every image it goes into read
// from that same open file. A regular file stays open and is read where it is needed; a pipe's, a
// FIFO's or a /proc file's bytes are read to their end at once and held (the only inputs held in
// memory, bounded by the image limit). An Intel HEX file that is joined as records is read whole
// while planning, and what it holds is kept instead.
struct ImagePiece {
    QString sourcePath;
    // What the file holds, judged as the converter judges it: the LoRa and Binary images take raw
    // images only and refuse Intel HEX, S-records and ELF.
    InputFormat format = InputFormat::Binary;
    qint64 fileSize = 0;
    QByteArray held;                                // the whole file, when it cannot be read twice
    std::shared_ptr<InputFile> file;                // open while the piece lives, when its bytes are not held
    std::shared_ptr<const IntelHexContent> records; // an Intel HEX file joined as records
    QByteArray fileHash;                            // SHA-256 of the whole file, when planning read it whole

    qint64 size() const { return fileSize; }
    bool isHeld() const { return !file; }
    // Records or an executable: its bytes placed as they are would be a wrong image.
    bool isRecordOrExecutable() const
    {
        return format == InputFormat::IntelHex || format == InputFormat::SRecord ||
               format == InputFormat::Elf;
    }
    // Up to `length` bytes of the file from `offset` (fewer at its end).
    QByteArray fileBytes(qint64 offset, qint64 length) const;
    // The open file, positioned nowhere in particular; null for a held piece.
    QIODevice *device() const;
};

// Opens a source file and takes its measure without holding it, except for inputs that cannot be
// read twice; devices and directories are refused, naming the file. `heldBudget` is what inputs held
// in memory may still take; what this one holds is taken off it.
Result<ImagePiece> openImagePiece(const QString &sourcePath, qint64 &heldBudget);
