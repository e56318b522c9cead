#include "imagebuild.h"

#include "assemblymessages.h"
#include "imagebuilder.h"
#include "intelhexassembler.h"
#include "jobrun.h"

namespace {

Failure cancelled()
{
    return Failure(Problem{Problem::Severity::Note, QString(), 0, AssemblyText::cancelled(), QString()});
}

// Says the verdicts up to the first that stops the build; gives that one.
std::optional<Problem> sayVerdicts(const ImagePlan &plan, JobRun &run)
{
    for (const Verdict &verdict : plan.verdicts) {
        run.report(verdict.problem);
        if (verdict.stopsBuild)
            return verdict.problem;
    }
    return std::nullopt;
}

Result<QString> writeFlatImage(const ImagePlan &plan, const PlannedImage &planned, JobRun &run)
{
    ImageBuilder image;
    for (const PiecePlacement &placement : planned.placements)
        image.placePiece(plan.piece(planned, placement.piece), qint64(placement.start));
    if (planned.names)
        image.setReleaseNames(*planned.names);
    if (plan.flash)
        image.setFlashSize(plan.flash->size);
    return image.commit(plan.outputDir, planned.fileName, plan.format, &run);
}

Result<QStringList> writeImages(const ImagePlan &plan, JobRun &run)
{
    QStringList written;
    const auto count = static_cast<int>(plan.images.size());
    for (int index = 0; index < count; ++index) {
        const PlannedImage &planned = plan.images.at(index);
        // Each image fills its share of the progress.
        run.setStage(index * JobRun::PerMille / count, (index + 1) * JobRun::PerMille / count);
        Result<QString> path = plan.kind == ImagePlan::Kind::IntelHexJoin
                                   ? joinIntelHexFiles(plan, planned, run)
                                   : writeFlatImage(plan, planned, run);
        if (!path && run.isCancelled())
            return cancelled();
        if (!path) {
            for (const Problem &problem : path.problems())
                run.report(problem);
            return Failure(path.problems());
        }
        written << path.value();
        // An image written stays; a cancel stops the ones after it.
        if (run.isCancelled() && index + 1 < count)
            return cancelled();
    }
    return written;
}

} // namespace

Result<QStringList> buildImages(const ImagePlan &plan, JobRun &run)
{
    if (plan.cancelled || run.isCancelled())
        return cancelled();
    if (const std::optional<Problem> refusal = sayVerdicts(plan, run))
        return Failure(*refusal);
    return writeImages(plan, run);
}
