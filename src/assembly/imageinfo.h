#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "hex/hexdiagnostic.h"

// What a firmware file holds, for "quillon-cli info": its size, for Intel HEX the address ranges it
// covers, and SHA-256 and CRC-32 of its data. For a raw binary the data is the whole file; for
// Intel HEX it is the data bytes in address order, the gaps between ranges not included.
struct ImageInfo {
    enum class Format { Binary, IntelHex };

    Format format = Format::Binary;
    QString path;
    qint64 fileSize = 0;
    qint64 dataSize = 0;
    QList<QPair<quint64, quint64>> ranges; // half-open [start, end), ascending; Intel HEX only
    std::optional<quint32> startAddress;   // Intel HEX only
    QByteArray sha256;                     // raw digest
    quint32 crc32 = 0;
    QList<HexDiagnostic> warnings;

    // One "key: value" line per fact; ranges and gaps inclusive, addresses in hex.
    QStringList lines() const;
};

// Reads and measures a file. On failure returns nothing and sets `error` (naming the file and,
// for a malformed HEX record or two records that disagree, the line).
std::optional<ImageInfo> inspectImage(const QString &path, QString *error);
