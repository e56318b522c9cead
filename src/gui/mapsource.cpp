#include "mapsource.h"

#include "memorymaptext.h"
#include "reporter.h"
#include "userdialogs.h"

bool MapSource::confirmBuild(const MemoryMapSet &maps, UserDialogs &dialogs) const
{
    if (maps.hasRefusedOverlap() && m_showOverlap)
        m_showOverlap();
    const MemoryMap *tooLarge = maps.firstOverflowing();
    if (!tooLarge)
        return true;
    return dialogs.ask(ReportTitle::warning(), MemoryMapText::overflowMessage(*tooLarge) +
                                                   QStringLiteral("\n\nСобрать образ все равно?"));
}
