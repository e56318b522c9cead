#pragma once

#include <QString>

#include "imagejobs.h"

class JobRun;
class Reporter;

struct IntelHexJoinResult {
    enum class Outcome { Joined, NothingToJoin, Failed, Cancelled };

    Outcome outcome = Outcome::Failed;
    QString imagePath; // set when joined

    bool succeeded() const { return outcome == Outcome::Joined; }
};

// Joins Intel HEX files into one, their records in file order followed by a single end-of-file
// record, written by JoinedHexWriter so that every reader takes the result to hold the same bytes at
// the same addresses (each address once, address bases set back to 0 where a file leaves one
// behind). Every file is read once, streamed, and checked first; the image is written only when all
// of them are sound, their decoded data fits in the image limit and no two of them put different
// bytes at the same address, and it replaces any earlier file of that name whole. The output name
// must be a file name (outputFileNameProblem).
//
// Errors go to `reporter` as "Error!" boxes, an empty selection or no output directory as a
// warning, as does a file without an end-of-file record. Success is left to the caller
// (AssemblyText::finished()), so that a window can close its progress dialog first. The run gets the
// progress of reading and then of writing; a cancel ends the join (Cancelled) with any earlier
// image as it was, and reports nothing.
IntelHexJoinResult joinIntelHexFiles(const IntelHexJoinJob &job, Reporter &reporter, JobRun &run);
