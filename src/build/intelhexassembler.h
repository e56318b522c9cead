#pragma once

#include <QString>

#include "imageplan.h"
#include "result.h"

class JobRun;

// Writes the joined image of an Intel HEX plan: the records of its files in file order followed by a
// single end-of-file record, written by JoinedHexWriter so that every reader takes the result to
// hold the same bytes at the same addresses (each address once, address bases set back to 0 where a
// file leaves one behind). The files were read and checked while planning and are not read again;
// the image replaces any earlier file of that name whole, and gives its path.
//
// The run gets the progress of the writing; a cancel stops it within a block, leaving any earlier
// image as it was (JobRun::cancelledProblem()).
Result<QString> joinIntelHexFiles(const ImagePlan &plan, const PlannedImage &image, JobRun &run);
