#include "gui/mapsource.h"

#include "common/reporter.h"
#include "gui/userdialogs.h"
#include "memorymap/memorymaptext.h"

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
