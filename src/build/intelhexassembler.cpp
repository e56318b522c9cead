#include "intelhexassembler.h"

#include <QFileInfo>

#include "assemblymessages.h"
#include "atomicoutputfile.h"
#include "intelhexrecord.h"
#include "jobrun.h"
#include "joinedhexwriter.h"
#include "outputname.h"
#include "releasemanifest.h"

namespace {

// The line end of the first file that ended a line, so the joined text keeps the files' own.
QByteArray lineEndOf(const ImagePlan &plan, const PlannedImage &image)
{
    for (int index = 0; index < image.pieces.size(); ++index) {
        const QByteArray &lineEnd = plan.piece(image, index).records->lineEnd;
        if (!lineEnd.isEmpty())
            return lineEnd;
    }
    return IntelHexLayout::LineEnd;
}

// The length of the files' text, which the joined image's text comes close to.
qint64 textSize(const ImagePlan &plan, const PlannedImage &image)
{
    qint64 size = 0;
    for (int index = 0; index < image.pieces.size(); ++index)
        size += plan.piece(image, index).fileSize;
    return qMax<qint64>(1, size);
}

ReleaseManifest manifestOf(const ImagePlan &plan, const PlannedImage &image, const ImageDigest &digest)
{
    ReleaseManifest manifest;
    manifest.image = digest;
    if (plan.flash)
        manifest.flashSize = plan.flash->size;
    // Each file as it was read, with its lowest data address.
    for (int index = 0; index < image.pieces.size(); ++index) {
        const ImagePiece &piece = plan.piece(image, index);
        manifest.pieces.append({QFileInfo(piece.sourcePath).absoluteFilePath(),
                                qint64(piece.records->lowestAddress), piece.fileSize, piece.fileHash});
    }
    return manifest;
}

} // namespace

Result<QString> joinIntelHexFiles(const ImagePlan &plan, const PlannedImage &image, JobRun &run)
{
    const QString imagePath = outputPathBelow(plan.outputDir, image.fileName);
    AtomicOutputFile output(imagePath);
    if (!output.open())
        return Failure(Problem::error(AssemblyText::cannotOpenForWriting(plan.outputDir)));
    const auto writeFailed = [&] {
        if (run.isCancelled())
            return Failure(JobRun::cancelledProblem());
        return Failure(Problem::error(AssemblyText::writeFailed(imagePath, output.errorString())));
    };
    ImageDigestBuilder digest;
    const qint64 total = textSize(plan, image);
    qint64 written = 0;
    // A cancel refuses the next block, which stops the writer as a failed write would.
    JoinedHexWriter writer(
        [&](QByteArrayView block) {
            digest.addData(block.data(), block.size());
            written += block.size();
            run.setProgress(qMin(written, total), total);
            return !run.isCancelled() && output.write(block.data(), block.size());
        },
        lineEndOf(plan, image));
    for (int index = 0; index < image.pieces.size(); ++index) {
        if (!writer.addPiece(*plan.piece(image, index).records))
            return writeFailed();
    }
    if (!writer.finish() || run.isCancelled())
        return writeFailed();
    run.setProgress(total, total); // the joined text is shorter than its files'

    StagedManifest staged(imagePath);
    if (const std::optional<Problem> failed = staged.stage(manifestOf(plan, image, digest.result()))) {
        output.cancel();
        return Failure(*failed);
    }
    if (!output.commit())
        return writeFailed();
    if (const std::optional<Problem> failed = staged.commit())
        return Failure(*failed);
    return imagePath;
}
