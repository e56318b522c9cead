#include "assembly/imagebuilder.h"

#include <algorithm>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "assembly/assemblymessages.h"
#include "common/atomicoutputfile.h"
#include "common/reporter.h"

namespace {

constexpr qint64 ZeroChunkSize = 64 * 1024;
constexpr qint64 CopyBlockSize = 256 * 1024;

bool writeAll(QIODevice &device, const char *data, qint64 length, ImageDigestBuilder &digest)
{
    digest.addData(data, length);
    return device.write(data, length) == length;
}

bool writeZeros(QIODevice &device, qint64 count, ImageDigestBuilder &digest)
{
    static const QByteArray zeros(ZeroChunkSize, '\0');
    while (count > 0) {
        const qint64 chunk = qMin(count, ZeroChunkSize);
        if (!writeAll(device, zeros.constData(), chunk, digest))
            return false;
        count -= chunk;
    }
    return true;
}

QString changedText(const QString &path)
{
    return QStringLiteral("Файл %1 изменился во время сборки; соберите образ заново.").arg(path);
}

// Copies bytes [from, to) of a piece's file into the image. With `fileHash`, the whole file is read
// on the way and hashed (then the copy must be of the whole file), so that a piece is read once per
// image.
bool streamPiece(const ImagePiece &piece, qint64 from, qint64 to, QIODevice &out, ImageDigestBuilder &digest,
                 QCryptographicHash *fileHash, QString *readError, bool *writeFailed)
{
    const auto copyPart = [&](const char *block, qint64 blockStart, qint64 length) {
        const qint64 start = qMax(blockStart, from);
        const qint64 end = qMin(blockStart + length, to);
        if (start < end && !writeAll(out, block + (start - blockStart), end - start, digest)) {
            *writeFailed = true;
            return false;
        }
        return true;
    };
    if (piece.isHeld()) {
        if (fileHash)
            fileHash->addData(piece.held);
        return copyPart(piece.held.constData(), 0, piece.held.size());
    }

    QFile file(piece.sourcePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *readError = AssemblyText::cannotOpen(piece.sourcePath);
        return false;
    }
    if (file.size() != piece.fileSize) {
        *readError = changedText(piece.sourcePath);
        return false;
    }
    qint64 position = fileHash ? 0 : from;
    const qint64 end = fileHash ? piece.fileSize : to;
    if (!file.seek(position)) {
        *readError = AssemblyText::readFailed(piece.sourcePath, file.errorString());
        return false;
    }
    QByteArray block(qMin(CopyBlockSize, qMax<qint64>(1, end - position)), Qt::Uninitialized);
    while (position < end) {
        const qint64 got = file.read(block.data(), qMin<qint64>(block.size(), end - position));
        if (got < 0) {
            *readError = AssemblyText::readFailed(piece.sourcePath, file.errorString());
            return false;
        }
        if (got == 0) {
            *readError = changedText(piece.sourcePath);
            return false;
        }
        if (fileHash)
            fileHash->addData(QByteArrayView(block.constData(), got));
        if (!copyPart(block.constData(), position, got))
            return false;
        position += got;
    }
    return true;
}

QByteArray hashOfFile(const ImagePiece &piece, QString *readError)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QBuffer nowhere;
    nowhere.open(QIODevice::WriteOnly);
    ImageDigestBuilder unused;
    bool writeFailed = false;
    if (!streamPiece(piece, 0, 0, nowhere, unused, &hash, readError, &writeFailed))
        return {};
    return hash.result();
}

} // namespace

struct ImageBuilder::Segment {
    const PlacedPiece *placed = nullptr;
    qint64 start = 0; // in the image
    qint64 end = 0;
};

QString imageFilePath(const QString &outputDir, const QString &fileName)
{
    if (outputDir.endsWith(QLatin1Char('/')) || outputDir.endsWith(QLatin1Char('\\')))
        return outputDir + fileName;
    return outputDir + QLatin1Char('/') + fileName;
}

void ImageBuilder::placePiece(const ImagePiece &piece, qint64 offset)
{
    m_pieces.append({piece, offset});
}

qint64 ImageBuilder::size() const
{
    qint64 end = 0;
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() > 0)
            end = qMax(end, placed.end());
    }
    return end;
}

QByteArray ImageBuilder::contents() const
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ImageDigestBuilder digest;
    QString readError;
    if (!writeTo(buffer, digest, nullptr, &readError))
        return {};
    return buffer.data();
}

QList<ImageBuilder::Segment> ImageBuilder::visibleSegments() const
{
    // Each piece covers what was placed before it; pieces apart, the usual case, stay whole.
    QList<Segment> segments;
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() <= 0)
            continue;
        QList<Segment> kept;
        for (const Segment &segment : segments) {
            if (segment.end <= placed.offset || segment.start >= placed.end()) {
                kept.append(segment);
                continue;
            }
            if (segment.start < placed.offset)
                kept.append({segment.placed, segment.start, placed.offset});
            if (segment.end > placed.end())
                kept.append({segment.placed, placed.end(), segment.end});
        }
        kept.append({&placed, placed.offset, placed.end()});
        segments = std::move(kept);
    }
    std::sort(segments.begin(), segments.end(),
              [](const Segment &a, const Segment &b) { return a.start < b.start; });
    return segments;
}

bool ImageBuilder::writeTo(QIODevice &device, ImageDigestBuilder &digest, QList<QByteArray> *pieceHashes,
                           QString *readError) const
{
    if (pieceHashes) {
        pieceHashes->clear();
        pieceHashes->resize(m_pieces.size());
    }
    bool writeFailed = false;
    qint64 position = 0;
    for (const Segment &segment : visibleSegments()) {
        if (!writeZeros(device, segment.start - position, digest))
            return false;
        const PlacedPiece &placed = *segment.placed;
        const bool whole = segment.start == placed.offset && segment.end == placed.end();
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!streamPiece(placed.piece, segment.start - placed.offset, segment.end - placed.offset, device,
                         digest, whole && pieceHashes ? &hash : nullptr, readError, &writeFailed))
            return false;
        if (whole && pieceHashes)
            (*pieceHashes)[&placed - m_pieces.constData()] = hash.result();
        position = segment.end;
    }
    // Pieces hidden under others, or empty, are read once more for their manifest entries.
    if (pieceHashes) {
        for (qsizetype index = 0; index < m_pieces.size(); ++index) {
            if (pieceHashes->at(index).isEmpty()) {
                (*pieceHashes)[index] = hashOfFile(m_pieces.at(index).piece, readError);
                if (!readError->isEmpty())
                    return false;
            }
        }
    }
    return true;
}

bool ImageBuilder::commit(const QString &outputDir, const QString &fileName)
{
    if (outputDir.isEmpty() || !QFileInfo(outputDir).isDir()) {
        m_reporter.message(MessageKind::Critical, ReportTitle::error(),
                           QStringLiteral("Не найдена директория по пути: ") + outputDir);
        return false;
    }
    const QString path = imageFilePath(outputDir, fileName);
    AtomicOutputFile file(path);
    if (!file.open()) {
        m_reporter.message(MessageKind::Critical, ReportTitle::error(),
                           QStringLiteral("Не удалось открыть файл для записи по пути: ") + outputDir);
        return false;
    }
    ImageDigestBuilder digest;
    QList<QByteArray> pieceHashes;
    QString readError;
    if (!writeTo(file.device(), digest, &pieceHashes, &readError)) {
        file.cancel();
        m_reporter.message(MessageKind::Critical, ReportTitle::error(),
                           readError.isEmpty() ? QStringLiteral("Не удалось записать файл по пути: ") + path
                                               : readError);
        return false;
    }
    ReleaseManifest manifest;
    manifest.image = digest.result();
    manifest.names = m_releaseNames;
    manifest.flashSize = m_flashSize;
    for (qsizetype index = 0; index < m_pieces.size(); ++index) {
        const PlacedPiece &placed = m_pieces.at(index);
        manifest.pieces.append({QFileInfo(placed.piece.sourcePath).absoluteFilePath(), placed.offset,
                                placed.piece.fileSize, pieceHashes.at(index)});
    }
    StagedManifest staged(path);
    if (!staged.stage(manifest, m_reporter)) {
        file.cancel();
        return false;
    }
    if (!file.commit()) {
        m_reporter.message(MessageKind::Critical, ReportTitle::error(),
                           QStringLiteral("Не удалось записать файл по пути: ") + path);
        return false;
    }
    return staged.commit(m_reporter);
}
