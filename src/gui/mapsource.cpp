#include "mapsource.h"

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
