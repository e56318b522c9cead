#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "inputformat.h"
#include "manifestcheck.h"
#include "problem.h"
#include "result.h"

// What a firmware file holds, for "quillon-cli info": its size, for a format with addresses (Intel
// HEX, S-records, ELF) the address ranges it covers, and SHA-256 and CRC-32 of its data. For a raw
// binary the data is the whole file; otherwise it is the data bytes in address order, the gaps
// between ranges not included.
struct ImageInfo {
    InputFormat format = InputFormat::Binary;
    QString path;
    qint64 fileSize = 0;
    qint64 dataSize = 0;
    QList<QPair<quint64, quint64>> ranges; // half-open [start, end), ascending; formats with addresses
    std::optional<quint64> startAddress;   // formats with addresses
    QByteArray header;                     // S-records: the S0 text
    QByteArray sha256;                     // raw digest
    quint32 crc32 = 0;
    QList<Problem> warnings;
    std::optional<ManifestCheck> manifest; // of the release manifest beside the file, when it has one

    bool hasAddresses() const { return format != InputFormat::Binary && format != InputFormat::Empty; }
    // One "key: value" line per fact; ranges and gaps inclusive, addresses in hex.
    QStringList lines() const;
};

// Reads and measures a file, and checks the release manifest beside it against it (a manifest that
// does not match or cannot be read is a warning). A failure names the file and, for a malformed
// record or two records that disagree, the line.
Result<ImageInfo> inspectImage(const QString &path);
