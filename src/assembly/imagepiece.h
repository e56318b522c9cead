#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

class Reporter;

// One source file as it goes into an image: read once, whole. An Intel HEX file (judged by its
// content) loses its end-of-file record, so that HEX pieces can follow one another in one HEX
// image; the record is kept aside for an image that has to end with it.
struct ImagePiece {
    QString sourcePath;
    QByteArray data;      // the bytes placed into the image
    QByteArray endOfFile; // the cut end-of-file record with what followed it; empty when none was cut
    bool intelHex = false;

    qint64 size() const { return data.size(); }
    // Up to length bytes of the file as it is on disk, from offset (fewer at its end).
    QByteArray fileBytes(qint64 offset, qint64 length) const;
};

// Where the last end-of-file record ":00000001FF" (hex digits of either case) that starts a line
// begins in an Intel HEX text, -1 when there is none.
qsizetype findHexEndOfFile(const QByteArray &data);

// Builds the piece from raw file bytes: the end-of-file record is cut only from Intel HEX text,
// so a binary that happens to hold those bytes stays whole.
ImagePiece makeImagePiece(const QString &sourcePath, const QByteArray &fileData);

// Reads a source file whole; reports "Не удалось открыть файл по пути: <path>" and gives nothing
// when it cannot be read.
std::optional<ImagePiece> readImagePiece(const QString &sourcePath, Reporter &reporter);
