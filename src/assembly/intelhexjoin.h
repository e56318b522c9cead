#pragma once

#include <functional>

#include <QString>
#include <QStringList>

#include "common/progress.h"

class Reporter;

// What to join: the Intel HEX files in join order (only those that take part) and where the
// image goes.
struct IntelHexJoinJob {
    QStringList sources;
    QString outputDir;
    QString fileName; // with its extension
    // Asked between pieces; true stops the run before anything is written.
    std::function<bool()> cancelled;
};

struct IntelHexJoinResult {
    enum class Outcome { Joined, NothingToJoin, Failed, Cancelled };

    Outcome outcome = Outcome::Failed;
    QString imagePath; // set when joined

    bool succeeded() const { return outcome == Outcome::Joined; }
};

// Joins Intel HEX files into one by laying their records one after another, each without its
// end-of-file record, and closing the result with a single end-of-file record. Every piece is
// read and checked first; the image is written only when all of them are sound and no two of
// them put different bytes at the same address, and it replaces any earlier file of that name
// whole. Only the first start address record is kept. A piece that leaves a non-zero extended
// address behind is followed by a record setting it back to 0, so that the next piece's records
// keep the addresses they had in their own file.
//
// Errors go to `reporter` as "Error!" boxes, an empty selection or no output directory as a
// warning. Success is left to the caller (AssemblyText::finished()), so that a window can close its progress
// dialog first. `progress` gets (pieces checked, pieces).
IntelHexJoinResult joinIntelHexFiles(const IntelHexJoinJob &job, Reporter &reporter,
                                     const ProgressCallback &progress = {});
