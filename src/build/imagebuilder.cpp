#include "imagebuilder.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

#include "assemblymessages.h"
#include "atomicoutputfile.h"
#include "digestingdevice.h"
#include "intelhexwriter.h"
#include "jobrun.h"
#include "outputname.h"
#include "sha256.h"
#include "systemerror.h"

// Where the bytes of an image go, in address order.
class ImageSink {
public:
    virtual ~ImageSink() = default;
    // `length` bytes that no piece covers.
    virtual bool skip(qint64 length) = 0;
    virtual bool write(const char *data, qint64 length) = 0;
    virtual bool finish() { return true; }
    // Why a write failed, in words.
    virtual QString writeError() const { return QString(); }
};

namespace {

constexpr qint64 ZeroChunkSize = 64 * 1024;
constexpr qint64 CopyBlockSize = 256 * 1024;
// The most a gap is skipped over between two looks for a cancel.
constexpr qint64 WatchedSkipSize = 1 << 20;

// A flat image: every byte from address 0 to the end of the last piece, the gaps as zero bytes.
class FlatSink : public ImageSink {
public:
    FlatSink(QIODevice &out, ImageDigestBuilder &digest) : m_out(out), m_digest(digest) {}

    bool skip(qint64 length) override
    {
        static const QByteArray zeros(ZeroChunkSize, '\0');
        while (length > 0) {
            const qint64 chunk = qMin(length, ZeroChunkSize);
            if (!write(zeros.constData(), chunk))
                return false;
            length -= chunk;
        }
        return true;
    }
    bool write(const char *data, qint64 length) override
    {
        m_digest.addData(data, length);
        SystemError::clear();
        if (m_out.write(data, length) == length)
            return true;
        m_writeError = SystemError::of(m_out);
        return false;
    }
    QString writeError() const override { return m_writeError; }

private:
    QIODevice &m_out;
    ImageDigestBuilder &m_digest;
    QString m_writeError;
};

// An Intel HEX image: each byte of every piece at its place in the image as its address, 0xFF
// bytes too; the gaps get no record, and one end-of-file record closes the file.
class IntelHexSink : public ImageSink {
public:
    IntelHexSink(QIODevice &out, ImageDigestBuilder &digest)
        : m_device(out, digest), m_writer(m_device, IntelHexWriter::ErasedBlocks::Write)
    {}

    bool skip(qint64 length) override
    {
        m_address += quint64(length);
        return true;
    }
    bool write(const char *data, qint64 length) override
    {
        const bool written = m_writer.writeData(m_address, QByteArrayView(data, length));
        m_address += quint64(length);
        return written;
    }
    bool finish() override { return m_writer.finish(); }
    QString writeError() const override { return m_writer.errorString(); }

private:
    DigestingDevice m_device;
    IntelHexWriter m_writer;
    quint64 m_address = 0;
};

// Takes the bytes of a piece that is only read for its hash.
class NullSink : public ImageSink {
public:
    bool skip(qint64) override { return true; }
    bool write(const char *, qint64) override { return true; }
};

// Passes the bytes on to another sink, reports how many came out of `total` (none when the total
// is below 0) and takes no more once the run is cancelled.
class WatchedSink : public ImageSink {
public:
    WatchedSink(ImageSink &target, JobRun &run, qint64 total) : m_target(target), m_run(run), m_total(total)
    {}

    bool skip(qint64 length) override
    {
        for (qint64 left = length; left > 0;) {
            const qint64 step = qMin(left, WatchedSkipSize);
            if (!m_target.skip(step) || !advance(step))
                return false;
            left -= step;
        }
        return true;
    }
    bool write(const char *data, qint64 length) override
    {
        return m_target.write(data, length) && advance(length);
    }
    bool finish() override { return m_target.finish(); }
    QString writeError() const override { return m_target.writeError(); }

private:
    bool advance(qint64 length)
    {
        m_done += length;
        if (m_total >= 0)
            m_run.setProgress(qMin(m_done, m_total), m_total);
        return !m_run.isCancelled();
    }

    ImageSink &m_target;
    JobRun &m_run;
    qint64 m_total;
    qint64 m_done = 0;
};

QString changedText(const QString &path)
{
    return QStringLiteral("Файл %1 изменился во время сборки; соберите образ заново.").arg(path);
}

// Hands the part of a block of a piece's bytes that lies in [from, to) to the image.
class PieceCopy {
public:
    PieceCopy(ImageSink &out, qint64 from, qint64 to) : m_out(out), m_from(from), m_to(to) {}

    bool add(const char *block, qint64 blockStart, qint64 length)
    {
        const qint64 start = qMax(blockStart, m_from);
        const qint64 end = qMin(blockStart + length, m_to);
        if (start < end && !m_out.write(block + (start - blockStart), end - start)) {
            m_writeFailed = true;
            return false;
        }
        return true;
    }
    bool writeFailed() const { return m_writeFailed; }

private:
    ImageSink &m_out;
    qint64 m_from;
    qint64 m_to;
    bool m_writeFailed = false;
};

// Reads bytes [position, end) of a piece's open file in blocks, handing each to `copy`. Empty, or
// why the file could not be read as it was measured.
QString readPiece(const ImagePiece &piece, qint64 position, qint64 end, Sha256 *fileHash, PieceCopy &copy)
{
    QIODevice &file = *piece.device();
    if (file.size() != piece.fileSize)
        return changedText(piece.sourcePath);
    if (!file.seek(position))
        return AssemblyText::readFailed(piece.sourcePath, file.errorString());
    QByteArray block(qMin(CopyBlockSize, qMax<qint64>(1, end - position)), Qt::Uninitialized);
    while (position < end) {
        const qint64 got = file.read(block.data(), qMin<qint64>(block.size(), end - position));
        if (got < 0)
            return AssemblyText::readFailed(piece.sourcePath, file.errorString());
        if (got == 0)
            return changedText(piece.sourcePath);
        if (fileHash)
            fileHash->addData(QByteArrayView(block.constData(), got));
        if (!copy.add(block.constData(), position, got))
            return QString();
        position += got;
    }
    return QString();
}

// Copies bytes [from, to) of a piece into the image, from the file opened when the piece was. With
// `fileHash`, the whole file is read on the way and hashed (then the copy must be of the whole
// file), so that a piece is read once per image.
bool streamPiece(const ImagePiece &piece, qint64 from, qint64 to, ImageSink &out, Sha256 *fileHash,
                 QString *readError, bool *writeFailed)
{
    PieceCopy copy(out, from, to);
    if (piece.isHeld()) {
        if (fileHash)
            fileHash->addData(piece.held);
        *writeFailed = !copy.add(piece.held.constData(), 0, piece.held.size());
        return !*writeFailed;
    }
    *readError = readPiece(piece, fileHash ? 0 : from, fileHash ? piece.fileSize : to, fileHash, copy);
    *writeFailed = copy.writeFailed();
    return readError->isEmpty() && !*writeFailed;
}

// The SHA-256 of a piece's whole file; empty when it could not be read, or on a cancel.
QByteArray hashOfFile(const ImagePiece &piece, QString *readError, JobRun *run)
{
    Sha256 hash;
    NullSink nowhere;
    std::optional<WatchedSink> watched;
    if (run)
        watched.emplace(nowhere, *run, -1);
    bool writeFailed = false;
    if (!streamPiece(piece, 0, 0, watched ? static_cast<ImageSink &>(*watched) : nowhere, &hash, readError,
                     &writeFailed))
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
    return outputPathBelow(outputDir, fileName);
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
    FlatSink flat(buffer, digest);
    QString readError;
    if (!writeTo(flat, nullptr, &readError, nullptr))
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

bool ImageBuilder::writeTo(ImageSink &sink, QList<QByteArray> *pieceHashes, QString *readError,
                           JobRun *run) const
{
    if (pieceHashes) {
        pieceHashes->clear();
        pieceHashes->resize(m_pieces.size());
    }
    bool writeFailed = false;
    qint64 position = 0;
    for (const Segment &segment : visibleSegments()) {
        if (!sink.skip(segment.start - position))
            return false;
        const PlacedPiece &placed = *segment.placed;
        const bool whole = segment.start == placed.offset && segment.end == placed.end();
        Sha256 hash;
        if (!streamPiece(placed.piece, segment.start - placed.offset, segment.end - placed.offset, sink,
                         whole && pieceHashes ? &hash : nullptr, readError, &writeFailed))
            return false;
        if (whole && pieceHashes)
            (*pieceHashes)[&placed - m_pieces.constData()] = hash.result();
        position = segment.end;
    }
    // Pieces hidden under others, or empty, are read once more for their manifest entries.
    if (pieceHashes) {
        for (qsizetype index = 0; index < m_pieces.size(); ++index) {
            if (pieceHashes->at(index).isEmpty()) {
                (*pieceHashes)[index] = hashOfFile(m_pieces.at(index).piece, readError, run);
                if (pieceHashes->at(index).isEmpty())
                    return false;
            }
        }
    }
    return sink.finish();
}

namespace {

// Why an image cannot go to outputDir + "/" + fileName; empty when it can.
QString outputProblem(const QString &outputDir, const QString &fileName)
{
    if (outputDir.isEmpty() || !QFileInfo(outputDir).isDir())
        return AssemblyText::missingDirectory(outputDir);
    return outputFolderProblem(outputDir, fileName);
}

std::unique_ptr<ImageSink> sinkFor(ImageFormat format, QIODevice &out, ImageDigestBuilder &digest)
{
    if (format == ImageFormat::IntelHex)
        return std::make_unique<IntelHexSink>(out, digest);
    return std::make_unique<FlatSink>(out, digest);
}

} // namespace

ReleaseManifest ImageBuilder::manifest(const ImageDigest &digest, const QList<QByteArray> &pieceHashes) const
{
    ReleaseManifest manifest;
    manifest.image = digest;
    if (m_releaseNames)
        manifest.names =
            ManifestNames{m_releaseNames->version, m_releaseNames->region, m_releaseNames->firmware};
    manifest.flashSize = m_flashSize;
    for (qsizetype index = 0; index < m_pieces.size(); ++index) {
        const PlacedPiece &placed = m_pieces.at(index);
        manifest.pieces.append({QFileInfo(placed.piece.sourcePath).absoluteFilePath(), placed.offset,
                                placed.piece.fileSize, pieceHashes.at(index)});
    }
    return manifest;
}

Result<QString> ImageBuilder::commit(const QString &outputDir, const QString &fileName, ImageFormat format,
                                     JobRun *run) const
{
    const QString problem = outputProblem(outputDir, fileName);
    if (!problem.isEmpty())
        return Failure(Problem::error(problem));
    const QString path = imageFilePath(outputDir, fileName);
    AtomicOutputFile file(path);
    if (!file.open())
        return Failure(Problem::error(AssemblyText::cannotOpenForWriting(outputDir)));
    ImageDigestBuilder digest;
    const std::unique_ptr<ImageSink> sink = sinkFor(format, file.device(), digest);
    std::optional<WatchedSink> watched;
    if (run)
        watched.emplace(*sink, *run, size());
    QList<QByteArray> pieceHashes;
    QString readError;
    if (!writeTo(watched ? *watched : *sink, &pieceHashes, &readError, run)) {
        file.cancel();
        if (run && run->isCancelled())
            return Failure(JobRun::cancelledProblem());
        return Failure(Problem::error(
            readError.isEmpty() ? AssemblyText::writeFailed(path, sink->writeError()) : readError));
    }
    if (run && run->isCancelled()) {
        file.cancel();
        return Failure(JobRun::cancelledProblem());
    }
    StagedManifest staged(path);
    if (const std::optional<Problem> failed = staged.stage(manifest(digest.result(), pieceHashes))) {
        file.cancel();
        return Failure(*failed);
    }
    if (!file.commit())
        return Failure(Problem::error(AssemblyText::writeFailed(path, file.errorString())));
    if (const std::optional<Problem> failed = staged.commit())
        return Failure(*failed);
    return path;
}
