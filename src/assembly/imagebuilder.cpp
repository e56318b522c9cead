#include "assembly/imagebuilder.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include "common/reporter.h"
#include "common/savefile.h"

namespace {
constexpr qint64 ZeroChunkSize = 64 * 1024;

bool writeZeros(QIODevice &device, qint64 count)
{
    static const QByteArray zeros(ZeroChunkSize, '\0');
    while (count > 0) {
        const qint64 chunk = qMin(count, ZeroChunkSize);
        if (device.write(zeros.constData(), chunk) != chunk)
            return false;
        count -= chunk;
    }
    return true;
}

bool writeAll(QIODevice &device, const QByteArray &bytes)
{
    return device.write(bytes) == bytes.size();
}
} // namespace

QString imageFilePath(const QString &outputDir, const QString &fileName)
{
    if (outputDir.endsWith(QLatin1Char('/')) || outputDir.endsWith(QLatin1Char('\\')))
        return outputDir + fileName;
    return outputDir + QLatin1Char('/') + fileName;
}

bool ImageBuilder::writeImagePiece(const QString &sourcePath, qint64 offset, qint64 *writtenSize)
{
    const std::optional<ImagePiece> piece = readImagePiece(sourcePath, m_reporter);
    if (writtenSize)
        *writtenSize = piece ? piece->size() : 0;
    if (!piece)
        return false;
    placePiece(*piece, offset);
    return true;
}

void ImageBuilder::placePiece(const ImagePiece &piece, qint64 offset)
{
    m_pieces.append({piece, offset});
}

const ImageBuilder::PlacedPiece *ImageBuilder::lastPiece() const
{
    const PlacedPiece *last = nullptr;
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() > 0 && (!last || placed.end() >= last->end()))
            last = &placed;
    }
    return last;
}

qint64 ImageBuilder::size() const
{
    const PlacedPiece *last = lastPiece();
    if (!last)
        return 0;
    qint64 end = last->end();
    if (m_endWithHexEndOfFile)
        end += last->piece.endOfFile.size();
    return end;
}

QByteArray ImageBuilder::contents() const
{
    QByteArray image(size(), '\0');
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() > 0)
            std::copy(placed.piece.data.cbegin(), placed.piece.data.cend(), image.begin() + placed.offset);
    }
    const PlacedPiece *last = lastPiece();
    if (m_endWithHexEndOfFile && last) {
        const QByteArray &record = last->piece.endOfFile;
        std::copy(record.cbegin(), record.cend(), image.begin() + last->end());
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

bool ImageBuilder::writeTo(QIODevice &device) const
{
    // Overlapping pieces are layered in memory; the usual case, pieces apart, streams them in
    // address order with the gaps written as zeros, however far apart the offsets are.
    if (piecesOverlap())
        return writeAll(device, contents());

    QList<const PlacedPiece *> sorted;
    for (const PlacedPiece &placed : m_pieces) {
        if (placed.piece.size() > 0)
            sorted.append(&placed);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const PlacedPiece *a, const PlacedPiece *b) { return a->offset < b->offset; });
    qint64 position = 0;
    for (const PlacedPiece *placed : sorted) {
        if (!writeZeros(device, placed->offset - position) || !writeAll(device, placed->piece.data))
            return false;
        position = placed->end();
    }
    const PlacedPiece *last = lastPiece();
    if (m_endWithHexEndOfFile && last && !writeAll(device, last->piece.endOfFile))
        return false;
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_reporter.message(MessageKind::Critical, ReportTitle::error(),
                           QStringLiteral("Не удалось открыть файл для записи по пути: ") + outputDir);
        return false;
    }
    if (!writeTo(file) || !commitSaveFile(file)) {
        file.cancelWriting();
        m_reporter.message(MessageKind::Critical, ReportTitle::error(),
                           QStringLiteral("Не удалось записать файл по пути: ") + path);
        return false;
    }
    return true;
}
