#pragma once

#include <QList>
#include <QString>

#include "imagejobs.h"
#include "imagepiece.h"
#include "releasemanifest.h"
#include "releasename.h"
#include "result.h"

class ImageSink;
class JobRun;

// Collects the pieces of one output image and writes the image once, from scratch, when all of them
// are in: a file of the same name is replaced whole (no tail of an older, longer image survives),
// and a failure leaves it untouched with nothing half-written beside it. Gaps between pieces are
// zero bytes (or, in Intel HEX, left out); where pieces overlap, the one placed later wins. The pieces are
// streamed from their files into the image, so memory stays small however large the image; a file that
// changed since it was opened stops the image.
//
// A run, when one is given, gets the bytes written out of the image's length, and its cancel stops
// the writing within a block: the target stays as it was, nothing is left beside it, and the
// problem is JobRun::cancelledProblem().
class ImageBuilder {
public:
    // Places a piece that was opened already.
    void placePiece(const ImagePiece &piece, qint64 offset);

    // The version, region and firmware names the image was named from, for its manifest.
    void setReleaseNames(const ReleaseNameFields &names) { m_releaseNames = names; }
    // The size of the flash the image is meant for, when the user chose one, for its manifest.
    void setFlashSize(std::optional<quint64> size) { m_flashSize = size; }

    // The length of the image: the end of its last non-empty piece.
    qint64 size() const;
    // The whole image in memory (for images known to be small).
    QByteArray contents() const;
    // Writes the image to outputDir + "/" + fileName through a temporary file that replaces the
    // target only when everything was written, and its release manifest beside it; gives the
    // image's path.
    Result<QString> commit(const QString &outputDir, const QString &fileName,
                           ImageFormat format = ImageFormat::RawBinary, JobRun *run = nullptr) const;

    struct PlacedPiece {
        ImagePiece piece;
        qint64 offset = 0;
        qint64 end() const { return offset + piece.size(); }
    };
    const QList<PlacedPiece> &pieces() const { return m_pieces; }

private:
    struct Segment; // a part of a piece that shows in the image
    QList<Segment> visibleSegments() const;
    // Writes the image; `pieceHashes`, when given, gets the SHA-256 of each piece's whole file.
    // False on failure, with the reason for a piece that could not be read in `readError`, or on a
    // cancel of `run`.
    bool writeTo(ImageSink &sink, QList<QByteArray> *pieceHashes, QString *readError, JobRun *run) const;
    // The manifest of the image written with `digest`, its pieces with their hashes.
    ReleaseManifest manifest(const ImageDigest &digest, const QList<QByteArray> &pieceHashes) const;

    QList<PlacedPiece> m_pieces;
    std::optional<ReleaseNameFields> m_releaseNames;
    std::optional<quint64> m_flashSize;
};

// outputDir + "/" + fileName, without doubling a separator the directory already ends with.
QString imageFilePath(const QString &outputDir, const QString &fileName);
