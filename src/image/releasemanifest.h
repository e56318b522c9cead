#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include "atomicoutputfile.h"
#include "crc32.h"
#include "problem.h"
#include "result.h"
#include "sha256.h"

// Size and checksums of an image as it was written.
struct ImageDigest {
    qint64 size = 0;
    QByteArray sha256; // raw 32 bytes
    quint32 crc32 = 0;
};

// Collects the digest while the image is written, so the image is not read back for it.
class ImageDigestBuilder {
public:
    void addData(const char *data, qint64 length);
    ImageDigest result();

private:
    Sha256 m_sha256;
    Crc32 m_crc32;
    qint64 m_size = 0;
};

// One source file of an image: where it came from and where it went.
struct ManifestPiece {
    QString sourcePath; // absolute
    qint64 offset = 0;  // in the image; for a joined Intel HEX piece its lowest data address
    qint64 size = 0;    // of the source file
    QByteArray sha256;  // of the source file, raw 32 bytes
};

// The words an image's name was made of, read out of its pieces' name fields (LoRa images).
struct ManifestNames {
    QString version; // empty when the field holds no version
    QString region;
    QString firmware;
};

// What a release engineer needs to tell later which pieces went into an image and to compare it:
// written beside every assembled image as "<image file name>.manifest.json".
struct ReleaseManifest {
    QString imageFileName;
    ImageDigest image;
    QList<ManifestPiece> pieces;
    std::optional<ManifestNames> names;
    std::optional<quint64> flashSize; // of the flash the image was built for, when one was chosen
    QDateTime created;

    QByteArray toJson() const;
};

QString releaseManifestPath(const QString &imagePath);

// The text of the manifest beside an image; none when there is none. Only a regular file (or a link
// to one) no larger than any manifest the program writes is read: anything else is a problem that
// names it, and is not opened.
Result<std::optional<QByteArray>> readReleaseManifest(const QString &imagePath);

// The size and SHA-256 the manifest text records for its image; nothing, with the reason in
// `error`, when the text is not a manifest.
std::optional<ImageDigest> recordedImageDigest(const QByteArray &json, QString *error);

// A CRC written into an image after it was built.
struct ManifestStamp {
    QString algorithm;      // "crc32" or "stm32"
    quint64 rangeStart = 0; // the bytes the CRC covers: [rangeStart, rangeEnd)
    quint64 rangeEnd = 0;
    quint64 address = 0; // where its four bytes went, little-endian
    quint32 value = 0;
};

// The manifest text `json` for the image once stamped: the image's name and digest brought up to
// date and the stamp added to its "stamps" (a later stamp after an earlier one). Nothing, with the
// reason in `error`, when `json` is not a manifest.
std::optional<QByteArray> manifestWithStamp(const QByteArray &json, const QString &imageFileName,
                                            const ImageDigest &digest, const ManifestStamp &stamp,
                                            QString *error);

// The manifest of an image about to be put in place. It is written to a hidden file first, so that
// a manifest that cannot be written stops the run before an older image of that name is replaced,
// and is put in place right after the image.
class StagedManifest {
public:
    explicit StagedManifest(const QString &imagePath);

    // Stamps the manifest with the current time and writes it aside; why not, when it cannot.
    std::optional<Problem> stage(ReleaseManifest manifest);
    // Puts the staged manifest beside the image; why not, when it cannot.
    std::optional<Problem> commit();

private:
    Problem failed(const QString &reason);

    QString m_imagePath;
    AtomicOutputFile m_file;
};
