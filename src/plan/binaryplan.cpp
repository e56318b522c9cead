#include <algorithm>

#include <QFileInfo>

#include "assemblymessages.h"
#include "imageplan.h"
#include "jobrun.h"
#include "outputname.h"
#include "pieceoverlap.h"
#include "planning.h"
#include "sourcefiles.h"

using namespace Planning;

namespace {

QString notRegularNote(const QString &path)
{
    return QStringLiteral("Файл %1 не показан на карте: это не обычный файл, его размер известен только "
                          "после чтения.")
        .arg(path);
}

// Where a piece that takes part starts: at its own offset, or, with the pieces one after another,
// where the piece before it ended (`previousEnd`, 0 for the first).
qint64 pieceOffset(const BinaryJob &job, const BinarySlot &slot, qint64 previousEnd)
{
    return job.sequential ? previousEnd : slot.offset;
}

// Records or an executable as a piece of the Binary tab's image: refused in the tab's own words.
Problem notRawImage(const ImagePiece &piece)
{
    Problem problem = Problem::warning(AssemblyText::isNotRawImage(piece.sourcePath, piece.format));
    problem.title = SourceText::wrongFormatTitle();
    return problem;
}

void checkSomethingToBuild(const BinaryJob &job, ImagePlan &plan)
{
    const bool anyEnabled = std::any_of(job.files.cbegin(), job.files.cend(),
                                        [](const BinarySlot &slot) { return slot.enabled; });
    if (!anyEnabled)
        refuse(plan, Problem::warning(AssemblyText::noFileTicked()));
    if (job.outputDir.isEmpty())
        refuse(plan, Problem::warning(AssemblyText::noOutputDirectory()));
    // An empty name template would leave only the extension, a hidden file nobody asked for.
    if (QFileInfo(job.fileName).completeBaseName().isEmpty())
        refuse(plan, Problem::error(missingOutputNameText()));
    const QString nameProblem = outputFileNameProblem(job.fileName);
    if (!nameProblem.isEmpty())
        refuse(plan, Problem::error(nameProblem));
}

// At their own offsets, each piece is checked against every piece placed before it.
void checkAgainstPlaced(ImagePlan &plan, const PlannedImage &image, int piece, qint64 offset)
{
    const ImagePiece &added = plan.pieces.at(piece);
    for (const PiecePlacement &placed : image.placements) {
        const ImagePiece &earlier = plan.piece(image, placed.piece);
        if (checkPieceOverlap(qint64(placed.start), earlier.size(), offset, added.size()))
            continue;
        refuse(plan, Problem::error(AssemblyText::binaryOverlap(
                         earlier.sourcePath, formatPieceRange(qint64(placed.start), earlier.size()),
                         added.sourcePath, formatPieceRange(offset, added.size()))));
        return;
    }
}

PlannedImage placeSlots(const BinaryJob &job, ImagePlan &plan, PlanPurpose purpose, JobRun &run)
{
    PlannedImage image;
    image.fileName = job.fileName;
    image.title =
        QFileInfo(job.fileName).completeBaseName().isEmpty() ? QStringLiteral("образ Binary") : job.fileName;
    PieceOpener opener(plan, purpose, notRegularNote);
    qint64 runningOffset = 0;
    run.setProgress(0, job.files.size());
    for (int index = 0; index < job.files.size(); ++index) {
        const BinarySlot &slot = job.files.at(index);
        // Unchecked slots are never opened, whatever they name.
        const std::optional<int> piece = slot.enabled ? opener.openRaw(slot.path, notRawImage) : std::nullopt;
        if (piece) {
            const qint64 offset = pieceOffset(job, slot, runningOffset);
            checkFitsImage(plan, plan.pieces.at(*piece), offset);
            if (!job.sequential)
                checkAgainstPlaced(plan, image, *piece, offset);
            placeWhole(plan, image, *piece, offset);
            runningOffset = offset + plan.pieces.at(*piece).size();
        }
        run.setProgress(index + 1, job.files.size());
    }
    finishFlatImage(image);
    return image;
}

} // namespace

ImagePlan planImages(const BinaryJob &job, JobRun &run, PlanPurpose purpose)
{
    ImagePlan plan;
    plan.kind = ImagePlan::Kind::Binary;
    plan.outputDir = job.outputDir;
    plan.format = job.format;
    plan.flash = job.flash;
    if (plan.flash)
        plan.flash->base = 0; // a flat image starts at the flash's first byte
    plan.finishedText = AssemblyText::finished();
    checkSomethingToBuild(job, plan);
    PlannedImage image = placeSlots(job, plan, purpose, run);
    if (!image.pieces.isEmpty())
        plan.images.append(std::move(image));
    return plan;
}
