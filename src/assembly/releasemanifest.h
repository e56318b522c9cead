#pragma once

#include <optional>

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QList>
#include <QString>

#include "assembly/releasename.h"
#include "common/atomicoutputfile.h"
#include "common/crc32.h"

class Reporter;

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
    ImageDigest result() const;

private:
    QCryptographicHash m_sha256{QCryptographicHash::Sha256};
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

// What a release engineer needs to tell later which pieces went into an image and to compare it:
// written beside every assembled image as "<image file name>.manifest.json".
struct ReleaseManifest {
    QString imageFileName;
    ImageDigest image;
    QList<ManifestPiece> pieces;
    std::optional<ReleaseNameFields> names; // read out of the pieces (LoRa images)
    std::optional<quint64> flashSize;       // of the flash the image was built for, when one was chosen
    QDateTime created;

    QByteArray toJson() const;
};

QString releaseManifestPath(const QString &imagePath);

// The manifest of an image about to be put in place. It is written to a hidden file first, so that
// a manifest that cannot be written stops the run before an older image of that name is replaced,
// and is put in place right after the image.
class StagedManifest {
public:
    explicit StagedManifest(const QString &imagePath);

    // Stamps the manifest with the current time and writes it aside; reports a failure.
    bool stage(ReleaseManifest manifest, Reporter &reporter);
    // Puts the staged manifest beside the image; reports a failure.
    bool commit(Reporter &reporter);

private:
    bool failed(Reporter &reporter);

    QString m_imagePath;
    AtomicOutputFile m_file;
};
