#include "pieceoverlap.h"

#include "hextext.h"

bool checkPieceOverlap(qint64 firstOffset, qint64 firstSize, qint64 secondOffset, qint64 secondSize)
{
    if (firstSize <= 0 || secondSize <= 0)
        return true;
    return secondOffset >= firstOffset + firstSize || secondOffset + secondSize <= firstOffset;
}

QString formatPieceRange(qint64 offset, qint64 size)
{
    if (size <= 0)
        return HexText::number(offset);
    return HexText::number(offset) + QLatin1Char('-') + HexText::number(offset + size - 1);
}
