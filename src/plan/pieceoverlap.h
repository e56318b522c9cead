#pragma once

#include <QString>

// True when two pieces of an image do not share a byte: the second starts at or after the end of
// the first, or ends at or before its start. Touching pieces pass; an empty piece never collides.
bool checkPieceOverlap(qint64 firstOffset, qint64 firstSize, qint64 secondOffset, qint64 secondSize);

// A piece's bytes as the user reads offsets: "0x8000-0x8FFF" (first and last byte, hexadecimal);
// an empty piece shows only where it starts ("0x8000").
QString formatPieceRange(qint64 offset, qint64 size);
