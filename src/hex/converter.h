#pragma once

#include <functional>

#include <QString>
#include <QStringList>

#include "common/progress.h"

// How one conversion is watched and where it writes.
struct ConversionOptions {
    ProgressCallback progress;             // (done, total), at most every few milliseconds
    std::function<bool()> cancelRequested; // polled as often as progress; true stops without writing
    QString outputPath;                    // empty: beside the input, named by the direction
};

struct ConversionResult {
    bool ok = false;
    bool cancelled = false;
    QString outputPath;
    QString errorText;    // why it failed, naming the file (and line) where there is one
    QStringList warnings; // things the user should know about a conversion that succeeded
};

// The largest flat binary image a HEX file may describe; anything larger is refused.
constexpr quint64 LargestFlatImage = Q_UINT64_C(512) << 20;

// Writes the input as Intel HEX with its first byte at `offset`. The output replaces any file
// of that name only when the conversion succeeds.
ConversionResult convertBinToHex(const QString &inputPath, quint64 offset,
                                 const ConversionOptions &options = {});
// Writes the memory image of an Intel HEX file as a flat binary from address 0: the byte at
// address A lands at file position A, and every address without data reads 0xFF (erased flash).
ConversionResult convertHexToBin(const QString &inputPath, const ConversionOptions &options = {});

// Output names beside the input: every ".bin" in the file name becomes ".hex" (and the reverse);
// a name without one gets the new extension appended.
QString hexOutputPathFor(const QString &binaryPath);
QString binaryOutputPathFor(const QString &hexPath);

// Whether a conversion reads the file as Intel HEX: when its first lines say so, or when the whole
// file reads as Intel HEX records (blank lines, a trailing one say, fail the first-lines test only).
bool isIntelHexInput(const QString &path);

// The window's offset dialog takes digits as typed: 1000 means 0x1000.
quint64 offsetFromTypedDigits(int typed);
