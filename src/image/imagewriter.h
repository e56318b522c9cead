#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

#include "memoryimage.h"

class JobRun;
class QIODevice;

enum class OutputFormat { Binary, IntelHex, SRecord };

// "bin", "hex", "srec" as `--to` takes them; nothing for any other word.
std::optional<OutputFormat> outputFormatFromName(const QString &name);
// ".bin", ".hex", ".srec".
QString outputFormatExtension(OutputFormat format);

struct ImageWriteOptions {
    // The address of a binary output's first byte; addresses without data up to the image's end
    // are written as 0xFF (erased flash).
    quint64 binaryBase = 0;
    // Leave out record blocks of sixteen 0xFF bytes, which read back as erased flash: right for a
    // flat binary, where 0xFF stands for erased flash; an image that names its every byte keeps them.
    bool skipErased = false;
    std::optional<quint64> startAddress;
    // The text of an S-record file's S0 record.
    QByteArray header = QByteArrayLiteral("Quillon");
    // Gets (bytes done, bytes in all) and is asked for a cancel between slices.
    JobRun *run = nullptr;
};

// Why the image cannot be written in the format, naming the file as `name`; empty when it can.
// Checked before an output is opened: a binary must not start above the image's first byte nor
// grow past the largest image, Intel HEX and S-records address 4 GiB.
QString imageWriteProblem(const MemoryImage &image, OutputFormat format, const ImageWriteOptions &options,
                          const QString &name);

enum class WriteOutcome { Written, Failed, Cancelled };

// Writes the image in the format to the device. On Failed, `error` holds the device's reason.
WriteOutcome writeImage(QIODevice &out, const MemoryImage &image, OutputFormat format,
                        const ImageWriteOptions &options, QString *error);
