#include "flashfit.h"

#include "imagejobs.h"
#include "memorymap.h"
#include "memorymaptext.h"

namespace {

template <typename Job> QString overflowOf(const Job &job)
{
    if (!job.flash)
        return QString();
    const MemoryMapSet maps = memoryMapsOf(job);
    const MemoryMap *tooLarge = maps.firstOverflowing();
    return tooLarge ? MemoryMapText::overflowMessage(*tooLarge) : QString();
}

} // namespace

QString flashOverflowOf(const LoRaJob &job)
{
    return overflowOf(job);
}

QString flashOverflowOf(const BinaryJob &job)
{
    return overflowOf(job);
}

QString flashOverflowOf(const IntelHexJoinJob &job)
{
    return overflowOf(job);
}
