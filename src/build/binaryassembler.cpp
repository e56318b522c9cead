#include "binaryassembler.h"

#include <QFileInfo>

#include "assemblymessages.h"
#include "imagebuilder.h"
#include "imagelimits.h"
#include "outputname.h"
#include "pieceoverlap.h"
#include "reporter.h"
#include "sourcefiles.h"

namespace {

QString overlapMessage(const ImageBuilder::PlacedPiece &placed, const ImagePiece &piece, qint64 offset)
{
    return QStringLiteral("Некорректное смещение. Файл: ") + placed.piece.sourcePath + QStringLiteral(" (") +
           formatPieceRange(placed.offset, placed.piece.size()) + QStringLiteral("). Файл: ") +
           piece.sourcePath + QStringLiteral(" (") + formatPieceRange(offset, piece.size()) +
           QStringLiteral(")");
}

// Opens a slot's file; nothing, with the reason reported, when it cannot be a piece of a flat image.
std::optional<ImagePiece> openRawPiece(const QString &path, Reporter &reporter, qint64 &heldBudget)
{
    std::optional<ImagePiece> piece = openImagePiece(path, reporter, heldBudget);
    if (!piece)
        return std::nullopt;
    // The pieces are raw images: records or an ELF file placed as bytes would be a wrong image.
    if (piece->isRecordOrExecutable()) {
        reporter.message(MessageKind::Warning, SourceText::wrongFormatTitle(),
                         AssemblyText::isNotRawImage(path, piece->format));
        return std::nullopt;
    }
    if (piece->size() == 0) {
        reporter.message(MessageKind::Critical, ReportTitle::error(), AssemblyText::emptyPiece(path));
        return std::nullopt;
    }
    return piece;
}

} // namespace

BinaryResult assembleBinaryImage(const BinaryJob &job, Reporter &reporter, JobRun &run)
{
    BinaryResult result;

    bool anyEnabled = false;
    for (const BinarySlot &slot : job.files)
        anyEnabled = anyEnabled || slot.enabled;
    if (!anyEnabled) {
        reporter.message(MessageKind::Warning, ReportTitle::warning(),
                         QStringLiteral("Нечего собирать: не отмечен ни один файл."));
        return result;
    }
    if (job.outputDir.isEmpty()) {
        reporter.message(MessageKind::Warning, ReportTitle::warning(), AssemblyText::noOutputDirectory());
        return result;
    }

    // An empty name template would leave only the extension, a hidden file nobody asked for.
    if (QFileInfo(job.fileName).completeBaseName().isEmpty()) {
        reporter.message(MessageKind::Warning, ReportTitle::warning(),
                         QStringLiteral("Нечего собирать: не задано имя выходного файла."));
        return result;
    }

    const QString nameProblem = outputFileNameProblem(job.fileName);
    if (!nameProblem.isEmpty()) {
        reporter.message(MessageKind::Critical, ReportTitle::error(), nameProblem);
        return result;
    }

    ImageBuilder image(reporter, run);
    if (job.flash)
        image.setFlashSize(job.flash->size);
    qint64 runningOffset = 0;
    qint64 heldBudget = LargestImageSize;
    for (int index = 0; index < job.files.size(); ++index) {
        const BinarySlot &slot = job.files.at(index);
        if (slot.enabled) {
            // Only the size is taken now; the piece is streamed into the image when it is written.
            const std::optional<ImagePiece> piece = openRawPiece(slot.path, reporter, heldBudget);
            if (!piece)
                return result;
            const qint64 offset = binaryPieceOffset(job, slot, runningOffset);
            if (offset + piece->size() > LargestImageSize) {
                reporter.message(MessageKind::Critical, ReportTitle::error(),
                                 AssemblyText::pastLargestImage(piece->sourcePath, offset, piece->size()));
                return result;
            }
            if (!job.sequential) {
                for (const ImageBuilder::PlacedPiece &placed : image.pieces()) {
                    if (!checkPieceOverlap(placed.offset, placed.piece.size(), offset, piece->size())) {
                        reporter.message(MessageKind::Critical, ReportTitle::error(),
                                         overlapMessage(placed, *piece, offset));
                        return result;
                    }
                }
            }
            image.placePiece(*piece, offset);
            runningOffset = offset + piece->size();
        }
    }

    if (!image.commit(job.outputDir, job.fileName, job.format))
        return result;
    result.succeeded = true;
    result.imagePath = imageFilePath(job.outputDir, job.fileName);
    reporter.message(MessageKind::Information, ReportTitle::complete(), AssemblyText::finished());
    return result;
}
