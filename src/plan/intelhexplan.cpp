#include <algorithm>
#include <functional>
#include <limits>

#include <QFileInfo>

#include "assemblymessages.h"
#include "imageplan.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "jobrun.h"
#include "memoryimage.h"
#include "outputname.h"
#include "planning.h"
#include "sha256.h"

using namespace Planning;

namespace {

// The overlap check runs over the data of all pieces at once; each piece's line numbers are moved
// into a band of their own so that a clash can be traced back to its file and line.
constexpr int LineBand = 1 << 28;
constexpr int MaximumPieces = (std::numeric_limits<int>::max() / LineBand) - 1;

void checkSomethingToBuild(const IntelHexJoinJob &job, ImagePlan &plan)
{
    if (job.sources.isEmpty())
        refuse(plan, Problem::warning(AssemblyText::noFileTicked()));
    if (job.sources.size() > MaximumPieces)
        refuse(plan, Problem::error(
                         QStringLiteral("Слишком много файлов для сборки: %1.").arg(job.sources.size())));
    if (job.outputDir.isEmpty())
        refuse(plan, Problem::warning(AssemblyText::noOutputDirectory()));
    else if (!QFileInfo(job.outputDir).isDir())
        refuse(plan, Problem::error(AssemblyText::missingDirectory(job.outputDir)));
    if (QFileInfo(job.fileName).completeBaseName().isEmpty())
        refuse(plan, Problem::error(missingOutputNameText()));
    for (const QString &problem :
         {outputFileNameProblem(job.fileName), outputFolderProblem(job.outputDir, job.fileName)}) {
        if (!problem.isEmpty()) {
            refuse(plan, Problem::error(problem));
            break;
        }
    }
}

// Reads what is left of an input, handing each block to `observe`.
bool drainInput(QIODevice &device, const std::function<void(QByteArrayView)> &observe)
{
    QByteArray block(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = device.read(block.data(), block.size());
        if (got <= 0)
            return got == 0;
        observe(QByteArrayView(block.constData(), got));
    }
}

// Reads one Intel HEX file once, streamed (a pipe or FIFO as well as a file), checking every record;
// only its decoded data is kept, with its size and hash for the manifest. `memoryUsed` is what the
// pieces read before hold.
Result<ImagePiece> readRecords(const QString &path, qint64 &memoryUsed, ImagePlan &plan)
{
    InputFile input(path);
    if (!input.open())
        return Failure(Problem::error(AssemblyText::inputProblem(path, input)));
    ImagePiece piece;
    piece.sourcePath = path;
    piece.format = InputFormat::IntelHex;
    Sha256 sha256;
    const auto observe = [&](QByteArrayView block) {
        sha256.addData(block);
        piece.fileSize += block.size();
    };
    IntelHexReader reader;
    reader.setMemoryLimit(LargestImageSize, memoryUsed);
    reader.setBlockObserver(observe);
    if (!reader.read(input.device(), path))
        return Failure(Problem::error(AssemblyText::hexError(path, reader.error().value_or(Problem{}))));
    // The manifest describes the whole file, what follows its end-of-file record too.
    if (!drainInput(input.device(), observe))
        return Failure(Problem::error(AssemblyText::readFailed(path, input.device().errorString())));
    memoryUsed = reader.memoryUsed();
    for (const Problem &warning : reader.diagnostics())
        warn(plan, Problem::warning(QStringLiteral("Файл %1: %2").arg(path, warning.message)));
    piece.records = std::make_shared<const IntelHexContent>(reader.takeContent());
    piece.fileHash = sha256.result();
    return piece;
}

// Reads and checks one source into the plan; a piece that holds no data is kept (the map shows it
// named) but stops the build.
void addSource(const QString &path, PlanPurpose purpose, qint64 &memoryUsed, ImagePlan &plan)
{
    if (path.isEmpty()) {
        refuse(plan, Problem::error(QStringLiteral("Один из отмеченных файлов не выбран.")), true);
        return;
    }
    const QFileInfo info(path);
    if (purpose == PlanPurpose::Look && info.exists() && !info.isFile()) {
        refuse(plan,
               Problem::error(QStringLiteral("Файл %1 не показан на карте: это не обычный файл.").arg(path)),
               true);
        return;
    }
    Result<ImagePiece> piece = readRecords(path, memoryUsed, plan);
    if (!piece) {
        refuse(plan, piece.problems().first(), true);
        return;
    }
    // A truncated build artefact (an empty file, an end-of-file record alone) joined without a word
    // would go unnoticed: nothing of it would be in the image.
    if (piece->records->dataBytes == 0)
        refuse(plan, Problem::error(AssemblyText::holdsNoData(path)), true);
    if (piece->records->lineCount >= LineBand)
        refuse(plan, Problem::error(QStringLiteral("Файл %1 слишком велик для сборки.").arg(path)), true);
    plan.pieces.append(std::move(piece).value());
}

QString conflictText(const ImagePlan &plan, const MemoryImage::Conflict &conflict)
{
    const QString &first = plan.pieces.at(conflict.firstLine / LineBand).sourcePath;
    const QString &second = plan.pieces.at(conflict.secondLine / LineBand).sourcePath;
    const int firstLine = conflict.firstLine % LineBand;
    const int secondLine = conflict.secondLine % LineBand;
    if (conflict.firstLine / LineBand == conflict.secondLine / LineBand)
        return QStringLiteral(
                   "Файл %1 дважды задает адрес %2 разными данными: %3 в строке %4 и %5 в строке %6.")
            .arg(first, HexText::address(conflict.address), HexText::number(conflict.firstValue, 2))
            .arg(firstLine)
            .arg(HexText::number(conflict.secondValue, 2))
            .arg(secondLine);
    return QStringLiteral("Файлы %1 и %2 пересекаются: по адресу %3 в первом %4 (строка %5), во втором %6 "
                          "(строка %7).")
        .arg(first, second, HexText::address(conflict.address), HexText::number(conflict.firstValue, 2))
        .arg(firstLine)
        .arg(HexText::number(conflict.secondValue, 2))
        .arg(secondLine);
}

// Two pieces that put different bytes at one address stop the build; the same bytes again are
// joined as one. A clash inside one file is about that piece, one between files the map draws.
void checkConflicts(ImagePlan &plan)
{
    // The chunks share their bytes with the pieces: the check costs no second copy of the data.
    QList<IntelHexChunk> allData;
    for (qsizetype index = 0; index < plan.pieces.size(); ++index) {
        const int band = static_cast<int>(index) * LineBand;
        for (IntelHexChunk chunk : plan.pieces.at(index).records->chunks) {
            chunk.line += band;
            allData.append(std::move(chunk));
        }
    }
    std::optional<MemoryImage::Conflict> conflict;
    MemoryImage::fromChunks(std::move(allData), &conflict);
    if (conflict)
        refuse(plan, Problem::error(conflictText(plan, *conflict)),
               conflict->firstLine / LineBand == conflict->secondLine / LineBand);
}

// The bytes of `image` from `start` to `end`, which it covers without a hole.
QByteArray bytesOf(const MemoryImage &image, quint64 start, quint64 end)
{
    QByteArray bytes;
    for (const MemoryImage::Range &range : image.ranges()) {
        if (range.end() <= start || range.start >= end)
            continue;
        const quint64 from = qMax(start, range.start);
        const quint64 to = qMin(end, range.end());
        bytes += range.bytes.mid(qsizetype(from - range.start), qsizetype(to - from));
    }
    return bytes;
}

// Tells the overlaps whose pieces agree on every byte from those that clash.
void markSameBytes(QList<CoverageSpan> &coverage, const QList<MemoryImage> &data)
{
    for (CoverageSpan &span : coverage) {
        if (span.kind != CoverageSpan::Kind::Overlap)
            continue;
        const QByteArray first = bytesOf(data.at(span.pieces.first()), span.start, span.end);
        span.sameBytes = std::all_of(span.pieces.cbegin() + 1, span.pieces.cend(), [&](int piece) {
            return bytesOf(data.at(piece), span.start, span.end) == first;
        });
    }
}

// The joined image: each piece's data ranges at their addresses, from the lowest to the highest.
PlannedImage joinedImage(const IntelHexJoinJob &job, const ImagePlan &plan)
{
    PlannedImage image;
    image.fileName = job.fileName;
    image.title = QFileInfo(job.fileName).completeBaseName().isEmpty() ? QStringLiteral("образ IntelHEX")
                                                                       : job.fileName;
    QList<MemoryImage> data;
    for (int index = 0; index < plan.pieces.size(); ++index) {
        image.pieces.append(index);
        data.append(MemoryImage::fromChunks(plan.pieces.at(index).records->chunks, nullptr));
        for (const auto &[start, end] : data.last().spans())
            image.placements.append({index, start, end});
    }
    bool first = true;
    for (const PiecePlacement &placement : std::as_const(image.placements)) {
        image.start = first ? placement.start : qMin(image.start, placement.start);
        image.end = first ? placement.end : qMax(image.end, placement.end);
        first = false;
    }
    image.coverage = coverageOf(image.placements, image.start, image.end);
    markSameBytes(image.coverage, data);
    return image;
}

} // namespace

ImagePlan planImages(const IntelHexJoinJob &job, JobRun &run, PlanPurpose purpose)
{
    ImagePlan plan;
    plan.kind = ImagePlan::Kind::IntelHexJoin;
    plan.addressed = true;
    plan.outputDir = job.outputDir;
    plan.format = ImageFormat::IntelHex;
    plan.flash = job.flash;
    plan.finishedText = AssemblyText::finished();
    checkSomethingToBuild(job, plan);
    qint64 memoryUsed = 0;
    for (qsizetype index = 0; index < job.sources.size(); ++index) {
        if (run.isCancelled()) {
            plan.cancelled = true;
            return plan;
        }
        addSource(job.sources.at(index), purpose, memoryUsed, plan);
        run.setProgress(index + 1, job.sources.size());
    }
    checkConflicts(plan);
    if (!plan.pieces.isEmpty())
        plan.images.append(joinedImage(job, plan));
    return plan;
}
