#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

class Reporter;

// One source file as it goes into an image: read once, whole, and placed byte for byte. The LoRa
// and Binary assemblies take raw images only; Intel HEX text is refused before a piece is read.
struct ImagePiece {
    QString sourcePath;
    QByteArray data;

    qint64 size() const { return data.size(); }
    // Up to length bytes of the file from offset (fewer at its end).
    QByteArray fileBytes(qint64 offset, qint64 length) const;
};

// Reads a source file whole; reports "Не удалось открыть файл по пути: <path>" and gives nothing
// when it cannot be read.
std::optional<ImagePiece> readImagePiece(const QString &sourcePath, Reporter &reporter);
