#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "inputformat.h"
#include "problem.h"

// What an image file holds without its data: what `info` and the map of a file need.
struct ImageScan {
    InputFormat format = InputFormat::Empty;
    qint64 fileSize = 0;
    qint64 dataSize = 0;
    QList<QPair<quint64, quint64>> ranges; // [start, end), ascending, touching ones joined; none for a binary
    std::optional<quint64> startAddress;   // Intel HEX 03/05, S7/S8/S9, the ELF entry point
    QByteArray header;                     // the text of an S-record file's S0 record
    QList<Problem> warnings;
    QString errorText; // why it could not be read, naming the file (and line), as loadImageFile() says

    bool ok() const { return errorText.isEmpty(); }
};

// Gets the data bytes in address order (a binary's from its first byte), a run at a time.
struct ScanVisitor {
    std::function<void(const char *data, qint64 length)> data;
    // What was handed over does not count: the data comes again from the start.
    std::function<void()> restart;
};

// Reads an image file through once, as loadImageFile() reads it, handing its data to `visit` instead of
// holding it: a binary block by block, an ELF file's sections from the file, Intel HEX and S-records
// as their records come while their addresses rise. A record file whose data goes back, or an ELF file
// whose sections overlap, is read again and held whole. The same ranges and errors either way.
ImageScan scanImageFile(const QString &path, const ScanVisitor &visit = {});
