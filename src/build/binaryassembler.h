#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "flashtarget.h"
#include "imagebuilder.h"
#include "progress.h"

class Reporter;

// One "Файл N" row of the Binary tab.
struct BinarySlot {
    bool enabled = false; // unchecked slots are never opened
    QString path;
    qint64 offset = 0; // used only when each piece goes to its own offset
};

struct BinaryJob {
    QList<BinarySlot> files; // in slot order
    // true: the pieces follow one another from offset 0; false: each piece at its own offset.
    bool sequential = false;
    QString outputDir;
    QString fileName; // with its extension
    ImageFormat format = ImageFormat::RawBinary;
    // The flash the image is meant for; the faces check the fit before a run, the manifest names it.
    std::optional<FlashTarget> flash;
};

// Where a piece that takes part starts: at its own offset, or, with the pieces one after another,
// where the piece before it ended (`previousEnd`, 0 for the first).
inline qint64 binaryPieceOffset(const BinaryJob &job, const BinarySlot &slot, qint64 previousEnd)
{
    return job.sequential ? previousEnd : slot.offset;
}

struct BinaryResult {
    bool succeeded = false;
    QString imagePath; // set when the image was written
};

// Builds the one image of the Binary tab. At its own offsets, each piece is checked against every
// piece placed before it. Nothing is written unless every piece was read and placed. Progress counts
// slots (done out of the number of slots).
BinaryResult assembleBinaryImage(const BinaryJob &job, Reporter &reporter,
                                 const ProgressCallback &progress = {});
