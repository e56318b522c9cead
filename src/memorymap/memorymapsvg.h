#pragma once

#include <QByteArray>
#include <QList>

#include "memorymap.h"

// The maps as one SVG picture, one block per map from top to bottom: the title and summary, the
// bar (every region a rectangle at its scaled place, its exact range as the rectangle's tooltip),
// the flash's limits, the name fields' marks, a legend and the table. Written with Qt Core's XML
// writer, so that quillon-cli needs nothing of Qt Gui.
//
// Each bar is a group of class "bar" that says where it lies and what it spans (data-left,
// data-width, data-view-start, data-view-end); each region's rectangle carries its kind and its
// addresses (data-kind, data-start, data-end, the end one past its last byte). A region is drawn at
// least MinimumRegionWidth wide (a name field's mark MinimumMarkWidth), so that a 16-byte field in a
// 2 MiB flash can still be seen.
namespace MemoryMapSvg {

constexpr double PictureWidth = 1000;
constexpr double BarLeft = 20;
constexpr double BarWidth = 960;
constexpr double MinimumRegionWidth = 1;
constexpr double MinimumMarkWidth = 3; // a name field's mark

QByteArray picture(const QList<MemoryMap> &maps);

} // namespace MemoryMapSvg
