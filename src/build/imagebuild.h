#pragma once

#include <QStringList>

#include "imageplan.h"
#include "result.h"

class JobRun;

// "Сборка": writes the images of a plan, each through a temporary file that replaces an older image
// of its name only once it is whole, with its release manifest beside it. The plan's verdicts are
// said first, in order, and the first that stops the build ends it before anything is written, so
// that a bad offset, a missing file or a name that cannot be a file leaves every older image as it
// was. Flat images (LoRa, Binary) are streamed from their pieces' open files; the Intel HEX join is
// written from the records read while planning, so a build reads each file once.
//
// Every problem goes to `run` as it is met; the result gives the images written, in order, or the
// problems that stopped the build (handed to `run` already; none is handed on for a cancel). The
// run gets the progress of the writing, each image its share; its cancel stops the image being
// written, which leaves its older file as it was, and the images after it.
Result<QStringList> buildImages(const ImagePlan &plan, JobRun &run);
