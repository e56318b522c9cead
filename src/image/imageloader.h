#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "imagelimits.h"
#include "inputformat.h"
#include "memoryimage.h"
#include "problem.h"

class InputFile;
class JobRun;

struct ImageLoadOptions {
    // Where a binary input's first byte lies: a binary has no address of its own.
    quint64 binaryOffset = 0;
    qint64 memoryLimit = LargestImageSize;
    // Gets (bytes read, file size) and may cancel the reading (an error, JobRun::cancelledProblem()).
    JobRun *run = nullptr;
    // How messages name the file; empty: the path as given.
    QString displayName;
    // Read as this format, whatever the content looks like; none: decided by the content.
    std::optional<InputFormat> format;
    // The input stays open for as long as the image is used: an ELF file's bytes are taken where the
    // mapped file holds them instead of copied.
    bool inputOutlivesImage = false;
};

// An image file read whole into memory, whatever its format.
struct LoadedImage {
    InputFormat format = InputFormat::Empty;
    MemoryImage image;
    std::optional<quint64> startAddress; // Intel HEX 03/05, S7/S8/S9, the ELF entry point
    QByteArray header;                   // the text of an S-record file's S0 record
    qint64 fileSize = 0;                 // bytes in the file, to its end
    QList<FileSpan> fileSpans;           // ELF: where the image's bytes lie in the file
    QList<Problem> warnings;
    QString errorText; // why it could not be read, naming the file (and line); empty when it was

    bool ok() const { return errorText.isEmpty(); }
};

// Reads an image file of any of the four formats into one memory image, the format decided by
// the content (detectInputFormat). Every record is checked; two records (or ELF sections) that
// put different bytes at one address are an error naming both lines (or sections). An
// empty file is an empty image of format Empty. The file is opened once: a pipe or FIFO is read
// all the same; devices and directories are refused.
LoadedImage loadImageFile(const QString &path, const ImageLoadOptions &options = {});

// The same on an input that is open and not yet read.
LoadedImage loadImage(InputFile &input, const ImageLoadOptions &options = {});

// "name, line 12: what is wrong": a record reader's first error as the loaders word it.
QString recordReadErrorText(const std::optional<Problem> &error, const QString &name);
