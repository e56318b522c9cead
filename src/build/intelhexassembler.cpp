#include "intelhexassembler.h"

#include <limits>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include "assemblymessages.h"
#include "atomicoutputfile.h"
#include "hextext.h"
#include "imagelimits.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "intelhexrecord.h"
#include "jobrun.h"
#include "joinedhexwriter.h"
#include "memoryimage.h"
#include "outputname.h"
#include "releasemanifest.h"
#include "reporter.h"

namespace {

// The overlap check runs over the data of all pieces at once; each piece's line numbers are moved
// into a band of their own so that a clash can be traced back to its file and line.
constexpr int LineBand = 1 << 28;
constexpr int MaximumPieces = (std::numeric_limits<int>::max() / LineBand) - 1;

// The share of the progress that reading and checking the files takes, in thousandths; writing the
// image takes the rest.
constexpr int ReadShare = 500;

// A checked piece ready to be laid into the image.
struct Piece {
    QString path;
    IntelHexContent content; // its records, for the image and the overlap check
    ManifestPiece manifest;  // the file as it was read, with its lowest data address
};

QString conflictText(const QList<Piece> &pieces, const MemoryImage::Conflict &conflict)
{
    const int firstPiece = conflict.firstLine / LineBand;
    const int secondPiece = conflict.secondLine / LineBand;
    const int firstLine = conflict.firstLine % LineBand;
    const int secondLine = conflict.secondLine % LineBand;
    if (firstPiece == secondPiece)
        return QStringLiteral(
                   "Файл %1 дважды задает адрес %2 разными данными: %3 в строке %4 и %5 в строке %6.")
            .arg(pieces.at(firstPiece).path, HexText::address(conflict.address),
                 HexText::number(conflict.firstValue, 2))
            .arg(firstLine)
            .arg(HexText::number(conflict.secondValue, 2))
            .arg(secondLine);
    return QStringLiteral("Файлы %1 и %2 пересекаются: по адресу %3 в первом %4 (строка %5), во втором %6 "
                          "(строка %7).")
        .arg(pieces.at(firstPiece).path, pieces.at(secondPiece).path, HexText::address(conflict.address),
             HexText::number(conflict.firstValue, 2))
        .arg(firstLine)
        .arg(HexText::number(conflict.secondValue, 2))
        .arg(secondLine);
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

void reportError(Reporter &reporter, const QString &text)
{
    reporter.message(MessageKind::Critical, ReportTitle::error(), text);
}

} // namespace

IntelHexJoinResult joinIntelHexFiles(const IntelHexJoinJob &job, Reporter &reporter, JobRun &run)
{
    using Outcome = IntelHexJoinResult::Outcome;
    IntelHexJoinResult result;
    const auto failed = [&](const QString &text) {
        reportError(reporter, text);
        result.outcome = Outcome::Failed;
        return result;
    };
    const auto cancelled = [&] {
        result.outcome = Outcome::Cancelled;
        return result;
    };

    if (job.sources.isEmpty()) {
        reporter.message(MessageKind::Warning, ReportTitle::warning(),
                         QStringLiteral("Нечего собирать: не отмечен ни один файл."));
        result.outcome = Outcome::NothingToJoin;
        return result;
    }
    if (job.sources.size() > MaximumPieces)
        return failed(QStringLiteral("Слишком много файлов для сборки: %1.").arg(job.sources.size()));
    if (job.outputDir.isEmpty()) {
        reporter.message(MessageKind::Warning, ReportTitle::warning(), AssemblyText::noOutputDirectory());
        result.outcome = Outcome::NothingToJoin;
        return result;
    }
    if (!QFileInfo(job.outputDir).isDir())
        return failed(QStringLiteral("Не найдена директория по пути: ") +
                      QDir::toNativeSeparators(job.outputDir));
    if (QFileInfo(job.fileName).completeBaseName().isEmpty())
        return failed(QStringLiteral("Не задано имя out-file."));
    const QString nameProblem = outputFileNameProblem(job.fileName);
    if (!nameProblem.isEmpty())
        return failed(nameProblem);
    const QString folderProblem = outputFolderProblem(job.outputDir, job.fileName);
    if (!folderProblem.isEmpty())
        return failed(folderProblem);

    QList<Piece> pieces;
    qint64 memoryUsed = 0;
    qint64 textBytes = 0; // of all files, for the progress of writing
    for (const QString &path : job.sources) {
        const auto first = static_cast<int>(pieces.size() * ReadShare / job.sources.size());
        run.setStage(first, static_cast<int>((pieces.size() + 1) * ReadShare / job.sources.size()));
        if (path.isEmpty())
            return failed(QStringLiteral("Один из отмеченных файлов не выбран."));
        // Read once, streamed: a pipe or FIFO as well as a file; only the decoded data stays.
        InputFile input(path);
        if (!input.open())
            return failed(AssemblyText::inputProblem(path, input));
        QCryptographicHash sha256(QCryptographicHash::Sha256);
        qint64 fileSize = 0;
        const auto observe = [&](QByteArrayView block) {
            sha256.addData(block);
            fileSize += block.size();
        };
        IntelHexReader reader;
        reader.setMemoryLimit(LargestImageSize, memoryUsed);
        reader.setBlockObserver(observe);
        if (!reader.read(input.device(), path, &run))
            return run.isCancelled()
                       ? cancelled()
                       : failed(AssemblyText::hexError(path, reader.error().value_or(Problem{})));
        // The manifest describes the whole file, what follows its end-of-file record too.
        if (!drainInput(input.device(), observe))
            return failed(AssemblyText::readFailed(path, input.device().errorString()));
        memoryUsed = reader.memoryUsed();
        for (const Problem &warning : reader.diagnostics())
            reporter.message(MessageKind::Warning, ReportTitle::warning(),
                             QStringLiteral("Файл %1: %2").arg(path, warning.message));

        // A truncated build artefact (an empty file, an end-of-file record alone) joined without a
        // word would go unnoticed: nothing of it would be in the image.
        if (reader.content().dataBytes == 0)
            return failed(AssemblyText::holdsNoData(path));

        Piece piece;
        piece.path = path;
        piece.content = reader.takeContent();
        if (piece.content.lineCount >= LineBand)
            return failed(QStringLiteral("Файл %1 слишком велик для сборки.").arg(path));
        piece.manifest = {QFileInfo(path).absoluteFilePath(), qint64(piece.content.lowestAddress), fileSize,
                          sha256.result()};
        pieces.append(std::move(piece));
        textBytes += fileSize;
    }

    // The chunks share their bytes with the pieces: the check costs no second copy of the data.
    QList<IntelHexChunk> allData;
    for (qsizetype index = 0; index < pieces.size(); ++index) {
        const int band = static_cast<int>(index) * LineBand;
        for (IntelHexChunk chunk : pieces.at(index).content.chunks) {
            chunk.line += band;
            allData.append(std::move(chunk));
        }
    }
    std::optional<MemoryImage::Conflict> conflict;
    MemoryImage::fromChunks(std::move(allData), &conflict);
    if (conflict)
        return failed(conflictText(pieces, *conflict));

    if (run.isCancelled())
        return cancelled();
    QByteArray lineEnd = IntelHexLayout::LineEnd;
    for (const Piece &piece : pieces) {
        if (!piece.content.lineEnd.isEmpty()) {
            lineEnd = piece.content.lineEnd;
            break;
        }
    }

    const QString imagePath = outputPathBelow(job.outputDir, job.fileName);
    AtomicOutputFile output(imagePath);
    if (!output.open())
        return failed(QStringLiteral("Не удалось открыть файл для записи по пути: ") + job.outputDir);
    const auto writeFailed = [&] {
        return failed(
            QStringLiteral("Не удалось записать файл по пути: %1 (%2)").arg(imagePath, output.errorString()));
    };
    ImageDigestBuilder digest;
    qint64 written = 0;
    run.setStage(ReadShare, JobRun::PerMille);
    // A cancel refuses the next block, which stops the writer as a failed write would.
    JoinedHexWriter writer(
        [&](QByteArrayView block) {
            digest.addData(block.data(), block.size());
            written += block.size();
            run.setProgress(qMin(written, textBytes), textBytes);
            return !run.isCancelled() && output.write(block.data(), block.size());
        },
        lineEnd);
    for (const Piece &piece : pieces) {
        if (!writer.addPiece(piece.content))
            return run.isCancelled() ? cancelled() : writeFailed();
    }
    if (!writer.finish())
        return run.isCancelled() ? cancelled() : writeFailed();
    run.setProgress(textBytes, textBytes); // the image is shorter than its files' text

    ReleaseManifest manifest;
    manifest.image = digest.result();
    if (job.flash)
        manifest.flashSize = job.flash->size;
    for (const Piece &piece : pieces)
        manifest.pieces.append(piece.manifest);
    StagedManifest staged(imagePath);
    if (run.isCancelled())
        return cancelled();
    if (!staged.stage(manifest, reporter)) {
        output.cancel();
        result.outcome = Outcome::Failed;
        return result;
    }
    if (!output.commit())
        return writeFailed();
    if (!staged.commit(reporter)) {
        result.outcome = Outcome::Failed;
        return result;
    }

    result.outcome = Outcome::Joined;
    result.imagePath = imagePath;
    return result;
}
