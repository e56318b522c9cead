#pragma once

#include <QString>
#include <QtGlobal>

// The largest image the program builds or holds: a flat binary of at most this many bytes, and at
// most this much Intel HEX data in memory. Release images for the boards are a few MiB; anything
// near this is a mistake (an offset of 0x80000000, a device as input), refused before it is read.
constexpr qint64 LargestImageSize = qint64(512) << 20;

// What every input past that size is told, whether it is streamed or held: "<file>: " + this.
inline QString inputTooLargeText()
{
    return QStringLiteral("файл больше %1 МиБ; образы больше %1 МиБ не принимаются")
        .arg(LargestImageSize >> 20);
}
