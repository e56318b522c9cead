#pragma once

#include <optional>

#include <QPair>
#include <QString>

#include "inputformat.h"
#include "result.h"

class JobRun;

enum class StampAlgorithm {
    Crc32, // the common CRC-32 (zlib's), the one "quillon-cli info" prints
    Stm32, // the STM32 hardware CRC unit's (see Stm32Crc)
};

// "crc32", "stm32".
QString stampAlgorithmName(StampAlgorithm algorithm);
std::optional<StampAlgorithm> stampAlgorithmFromName(const QString &name);

struct StampJob {
    QString imagePath;
    QString outputPath; // empty: the image itself, replaced whole once stamped
    quint64 address = 0;
    StampAlgorithm algorithm = StampAlgorithm::Crc32;
    // The bytes the CRC covers, [first, second); none: from the image's lowest address up to `address`.
    std::optional<QPair<quint64, quint64>> range;
    bool force = false;       // overwrite four bytes that hold data other than 0xFF
    quint64 binaryOffset = 0; // where a binary image's first byte lies
};

// What a stamp wrote.
struct Stamp {
    InputFormat format = InputFormat::Empty;
    quint64 rangeStart = 0;
    quint64 rangeEnd = 0;
    quint32 value = 0;
    QString outputPath;
    QString manifestPath; // the manifest written beside the output; empty when there was none to update
};

// Computes a CRC over the range and writes it little-endian at the address, in the image's own
// format: a binary stays a binary from the same first address, Intel HEX and S-records are written
// again with every byte they held (and their start address), an ELF file gets the four bytes
// changed in place inside the loadable segment that holds them. Addresses in the range that hold no
// data count as 0xFF, as erased flash reads. Refused: a stamp address inside the range, four bytes
// there that hold data other than 0xFF (unless `force`), an STM32 CRC over a length that is not a
// multiple of 4, a range without data. The output replaces its file whole or not at all; a release
// manifest beside the image is carried over beside the output with the stamp recorded and the
// image's digest brought up to date.
//
// The run gets the progress in thousandths and may cancel the stamp until the output replaces its
// file: nothing is written then (JobRun::cancelledProblem()). Warnings come with the value.
Result<Stamp> stampImage(const StampJob &job, JobRun &run);
