#pragma once

#include <QString>

// The colours of a memory map, as "#RRGGBB", the same in the window and in the SVG: one per piece
// (none of them red), red for overlaps, white for what no piece covers inside the image, light grey
// for the flash beyond it.
namespace MapColours {

inline QString piece(int index)
{
    static const char *const palette[] = {"#4E79A7", "#59A14F", "#F28E2B", "#B07AA1",
                                          "#76B7B2", "#9C755F", "#EDC948", "#BAB0AC"};
    constexpr int count = int(sizeof(palette) / sizeof(palette[0]));
    return QString::fromLatin1(palette[((index % count) + count) % count]);
}
inline QString overlap()
{
    return QStringLiteral("#E3262B");
}
inline QString gap()
{
    return QStringLiteral("#FFFFFF");
}
// Flash that the image leaves free.
inline QString freeFlash()
{
    return QStringLiteral("#EDEDED");
}
inline QString outline()
{
    return QStringLiteral("#808080");
}
// The flash's limits, the name fields' marks and the texts.
inline QString ink()
{
    return QStringLiteral("#1A1A1A");
}
// Hatching over what lies outside the flash.
inline QString beyondFlash()
{
    return QStringLiteral("#8B0000");
}

} // namespace MapColours
