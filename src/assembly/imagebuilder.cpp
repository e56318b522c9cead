#include "assembly/imagebuilder.h"

#include <algorithm>

#include "common/atomicoutputfile.h"
#include "common/reporter.h"
#include <QDir>
#include <QFileInfo>

namespace {
constexpr qint64 ZeroChunkSize = 64 * 1024;

bool writeAll(QIODevice &device, const char *data, qint64 length, ImageDigestBuilder &digest)
{
    digest.addData(data, length);
    return device.write(data, length) == length;
}

bool writeAll(QIODevice &device, const QByteArray &bytes, ImageDigestBuilder &digest)
{
    return writeAll(device, bytes.constData(), bytes.size(), digest);
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
} // namespace

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
    QByteArray image(size(), '\0');
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() > 0)
            std::copy(placed.piece.data.cbegin(), placed.piece.data.cend(), image.begin() + placed.offset);
    }
    return image;
}

bool ImageBuilder::piecesOverlap() const
{
    QList<const PlacedPiece *> sorted;
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() > 0)
            sorted.append(&placed);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const PlacedPiece *a, const PlacedPiece *b) { return a->offset < b->offset; });
    for (int i = 1; i < sorted.size(); ++i) {
        if (sorted[i]->offset < sorted[i - 1]->end())
            return true;
    }
    return false;
}

bool ImageBuilder::writeTo(QIODevice &device, ImageDigestBuilder &digest) const
{
    // Overlapping pieces are layered in memory; the usual case, pieces apart, streams them in
    // address order with the gaps written as zeros, however far apart the offsets are.
    if (piecesOverlap())
        return writeAll(device, contents(), digest);

    QList<const PlacedPiece *> sorted;
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() > 0)
            sorted.append(&placed);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const PlacedPiece *a, const PlacedPiece *b) { return a->offset < b->offset; });
    qint64 position = 0;
    for (const PlacedPiece *placed : sorted) {
        if (!writeZeros(device, placed->offset - position, digest) ||
            !writeAll(device, placed->piece.data, digest))
            return false;
        position = placed->end();
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
    const auto writeFailed = [&] {
        file.cancel();
        m_reporter.message(MessageKind::Critical, ReportTitle::error(),
                           QStringLiteral("Не удалось записать файл по пути: ") + path);
        return false;
    };
    ImageDigestBuilder digest;
    if (!writeTo(file.device(), digest))
        return writeFailed();
    ReleaseManifest manifest;
    manifest.image = digest.result();
    manifest.names = m_releaseNames;
    for (const PlacedPiece &placed : m_pieces)
        manifest.pieces.append(manifestPiece(placed.piece, placed.offset));
    StagedManifest staged(path);
    if (!staged.stage(manifest, m_reporter)) {
        file.cancel();
        return false;
    }
    if (!file.commit())
        return writeFailed();
    return staged.commit(m_reporter);
}
