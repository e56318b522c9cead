#pragma once

#include <optional>

#include "converter.h"
#include "result.h"

class InputFile;
class JobRun;

// Converts a record file (Intel HEX or S-records, as `conversion.inputFormat` says) whose data
// comes in rising addresses straight to the output, holding none of it, in the run's whole
// progress; to a binary, one whose data goes back is read again and each record written at its
// place in the output. An ELF file whose sections do not overlap is copied from the file to the
// output the same way. Gives nothing when it cannot: the input cannot be read twice, its data
// overlaps with other bytes or (but for a binary) goes back, or the output could not be opened or
// would be refused; the input is then back where it was, to be read whole, which gives the same
// bytes and the same errors. Errors met on the way (a bad record, a cancel, a failed write) are the
// conversion's, as they are for a whole image.
std::optional<Result<Conversion>> streamRecordConversion(InputFile &input, const Conversion &conversion,
                                                         const ConversionOptions &options, JobRun &run);
