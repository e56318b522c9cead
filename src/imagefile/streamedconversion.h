#pragma once

#include <optional>

#include "converter.h"
#include "result.h"

class InputFile;
class JobRun;

// Converts a record file (Intel HEX or S-records, as `conversion.inputFormat` says) whose data
// comes in rising addresses straight to the output, holding none of it, in the run's whole
// progress. Gives nothing when it cannot: the input cannot be read twice, its data goes back or
// overlaps, or the output could not be opened or would be refused; the input is then back where it
// was, to be read whole, which gives the same bytes and the same errors. Errors met on the way
// (a bad record, a cancel, a failed write) are the conversion's, as they are for a whole image.
std::optional<Result<Conversion>> streamRecordConversion(InputFile &input, const Conversion &conversion,
                                                         const ConversionOptions &options, JobRun &run);
