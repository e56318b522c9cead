#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include "imagelimits.h"
#include "imagewriter.h"
#include "inputformat.h"
#include "result.h"

class JobRun;

// Where one conversion writes, and what it asks.
struct ConversionOptions {
    QString outputPath; // empty: beside the input, named by the direction
    // The format to write; none: the direction follows the input (an image with addresses becomes a
    // flat binary from address 0, a binary becomes Intel HEX).
    std::optional<OutputFormat> to;
    quint64 binaryBase = 0; // the address of a binary output's first byte
    // Asked when the output exists already; false cancels the conversion (and its run) before
    // anything is written. Without it an existing output is replaced, as command-line converters do.
    std::function<bool(const QString &outputPath)> confirmReplace;
    // What the user said the input is (the window's two buttons); none: whatever its content is.
    // An input said to be Intel HEX is read as Intel HEX, so that the reader names the line that is
    // not a record; one said to be binary that holds records or an ELF executable is refused, the
    // message saying what it holds.
    std::optional<InputFormat> expectedInput;
};

// What a conversion wrote.
struct Conversion {
    QString outputPath;
    InputFormat inputFormat = InputFormat::Empty; // how the input was read
    OutputFormat outputFormat = OutputFormat::Binary;
};

// The largest flat binary image a HEX file may describe; anything larger is refused.
constexpr quint64 LargestFlatImage = LargestImageSize;

// Asked for the load address of an input that turned out to be binary; no value cancels the
// conversion (and its run).
using BinaryOffsetQuestion = std::function<std::optional<quint64>()>;

// The converter as the user meets it: opens the input once (a pipe or FIFO too; devices and
// directories are refused), tells its format by its content (detectInputFormat) and writes it in
// `options.to`, or without one in the direction of old: Intel HEX (and S-records, ELF) to a flat
// binary from address 0, binary to Intel HEX. An empty input is an error. `askOffset` is only
// asked for a binary input (the address of its first byte); without it the offset is 0.
// A binary written as Intel HEX or S-records leaves out blocks of sixteen 0xFF bytes (erased
// flash); an image read from a format with addresses keeps every byte it names.
//
// The run gets the progress in thousandths of the whole conversion and may cancel it at any time:
// nothing is written then, an earlier output stays as it was, and the problem is
// JobRun::cancelledProblem(). The warnings of a conversion that succeeded come with its value.
Result<Conversion> convertFile(const QString &inputPath, const BinaryOffsetQuestion &askOffset,
                               const ConversionOptions &options, JobRun &run);

// Output names beside the input: every ".bin" in the file name becomes ".hex" (and the reverse);
// a name without one gets the new extension appended.
QString hexOutputPathFor(const QString &binaryPath);
QString binaryOutputPathFor(const QString &hexPath);
// The output name beside the input for a chosen format: the input's last extension replaced by
// the format's (".bin", ".hex", ".srec"), or the format's appended to a name without one.
QString outputPathFor(const QString &inputPath, OutputFormat format);

// The largest load address the user may type (as a HexNumber): Intel HEX addresses 4 GiB.
constexpr quint64 LargestLoadAddress = 0xFFFFFFFF;
