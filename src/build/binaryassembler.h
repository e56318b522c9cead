#pragma once

#include <QString>

#include "imagejobs.h"
#include "progress.h"

class Reporter;

struct BinaryResult {
    bool succeeded = false;
    QString imagePath; // set when the image was written
};

// Builds the one image of the Binary tab. At its own offsets, each piece is checked against every
// piece placed before it. Nothing is written unless every piece was read and placed. Progress counts
// slots (done out of the number of slots).
BinaryResult assembleBinaryImage(const BinaryJob &job, Reporter &reporter,
                                 const ProgressCallback &progress = {});
