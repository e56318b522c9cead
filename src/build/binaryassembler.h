#pragma once

#include <QString>

#include "imagejobs.h"

class JobRun;
class Reporter;

struct BinaryResult {
    bool succeeded = false;
    QString imagePath; // set when the image was written
};

// Builds the one image of the Binary tab. At its own offsets, each piece is checked against every
// piece placed before it. Nothing is written unless every piece was read and placed. The run gets the
// bytes written; a cancel leaves any earlier image as it was and reports nothing.
BinaryResult assembleBinaryImage(const BinaryJob &job, Reporter &reporter, JobRun &run);
