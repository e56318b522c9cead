#pragma once

#include <QList>
#include <QString>

#include "assembly/imagepiece.h"

class QIODevice;
class Reporter;

// Collects the pieces of one output image and writes the image once, from scratch, when all of them
// are in: a file of the same name is replaced whole (no tail of an older, longer image survives),
// and a failure leaves it untouched with nothing half-written beside it. Gaps between pieces are
// zero bytes; where pieces overlap, the one placed later wins.
class ImageBuilder {
public:
    explicit ImageBuilder(Reporter &reporter) : m_reporter(reporter) {}

    // Reads the source file whole and places it at the offset. On failure the error has been
    // reported and writtenSize (when given) is 0; otherwise it is the number of bytes placed.
    bool writeImagePiece(const QString &sourcePath, qint64 offset, qint64 *writtenSize = nullptr);
    // Places a piece that was read already.
    void placePiece(const ImagePiece &piece, qint64 offset);

    // An Intel HEX image has to end with one end-of-file record: when set, the piece that ends the
    // image gets back the record that was cut from it.
    void setEndWithHexEndOfFile(bool endWithRecord) { m_endWithHexEndOfFile = endWithRecord; }

    // The length of the image: the end of its last non-empty piece (plus a restored record).
    qint64 size() const;
    // The whole image in memory.
    QByteArray contents() const;
    // Writes the image to outputDir + "/" + fileName through a temporary file that replaces the
    // target only when everything was written. Reports its own errors.
    bool commit(const QString &outputDir, const QString &fileName);

    struct PlacedPiece {
        ImagePiece piece;
        qint64 offset = 0;
        qint64 end() const { return offset + piece.size(); }
    };
    const QList<PlacedPiece> &pieces() const { return m_pieces; }

private:
    bool writeTo(QIODevice &device) const;
    bool piecesOverlap() const;
    const PlacedPiece *lastPiece() const;

    Reporter &m_reporter;
    QList<PlacedPiece> m_pieces;
    bool m_endWithHexEndOfFile = false;
};

// outputDir + "/" + fileName, without doubling a separator the directory already ends with.
QString imageFilePath(const QString &outputDir, const QString &fileName);
