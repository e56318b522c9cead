#include "mapsource.h"

#include "assemblymessages.h"
#include "imagebuild.h"
#include "jobrunner.h"
#include "reporter.h"
#include "userdialogs.h"

bool MapSource::confirmBuild(const ImagePlan &plan, UserDialogs &dialogs) const
{
    if (plan.hasRefusedOverlap() && m_showOverlap)
        m_showOverlap();
    const std::optional<Problem> tooLarge = plan.flashOverflow();
    if (!tooLarge)
        return true;
    return dialogs.ask(ReportTitle::warning(),
                       tooLarge->message + QStringLiteral("\n\nСобрать образ все равно?"));
}

std::optional<QStringList> MapSource::planAndBuild(const std::function<ImagePlan(JobRun &)> &plan,
                                                   JobRunner &jobs, UserDialogs &dialogs) const
{
    const QString label = QStringLiteral("Идет процесс сборки...");
    const ImagePlan planned = jobs.run(label, [&plan](JobRun &run, UserDialogs &) { return plan(run); });
    if (jobs.wasCancelled() || planned.cancelled || !confirmBuild(planned, dialogs))
        return std::nullopt;
    const Result<QStringList> built =
        jobs.run(label, [&planned](JobRun &run, UserDialogs &) { return buildImages(planned, run); });
    if (!built)
        return std::nullopt;
    dialogs.message(MessageKind::Information, ReportTitle::complete(),
                    planned.finishedText + AssemblyText::writtenFiles(built.value()));
    return built.value();
}
