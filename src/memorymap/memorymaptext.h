#pragma once

#include <QString>
#include <QStringList>

#include "memorymap.h"

// A memory map in words, the same for the window's table and tooltips, the clipboard and
// quillon-cli: addresses in hexadecimal (first and last byte, inclusive), sizes in bytes.
namespace MemoryMapText {

// The table's columns: region, first address, last address, size, note.
QStringList columns();
QString regionName(const MemoryMap &map, const MemoryRegion &region);
QString regionNote(const MemoryMap &map, const MemoryRegion &region);
// One row of the table, in the order of columns().
QStringList row(const MemoryMap &map, const MemoryRegion &region);
// "sensor_app.bin: 0x00040000-0x00057FFF (98304 байт)", with the note when there is one.
QString rangeText(const MemoryMap &map, const MemoryRegion &region);

// The table with its header, columns separated by tabs, for pasting into a spreadsheet.
QString tabSeparatedTable(const MemoryMap &map);
// The table with its header, columns padded with blanks, for a terminal.
QString alignedTable(const MemoryMap &map);

// One line: "[111.2222222XX33      |]": a digit or letter per piece (its number in the legend), "."
// where no piece is, "X" where pieces overlap, blanks for flash the image leaves free, "|" at the
// flash's limits. `width` characters stand for the addresses the picture spans.
QString bar(const MemoryMap &map, int width);
// What bar() draws means: each piece's symbol and file, a line each, then the other symbols.
QString legend(const MemoryMap &map);
// The piece's symbol in bar() and legend().
QChar pieceSymbol(int piece);

// What the image spans and, with a flash chosen, how much of it the image takes or by how much it
// is too large; an overlap the build refuses is said too.
QString summary(const MemoryMap &map);
// The same, one sentence a line.
QStringList summaryLines(const MemoryMap &map);
// The summary's sentence saying that the image does not fit its flash; empty when it fits.
QString overflowLine(const MemoryMap &map);
// The image that does not fit, its flash and the overflow in bytes, as one sentence.
QString overflowMessage(const MemoryMap &map);

} // namespace MemoryMapText
