#include "assembly/pieceoverlap.h"

bool checkPieceOverlap(qint64 firstOffset, qint64 firstSize, qint64 secondOffset, qint64 secondSize)
{
    if (firstSize <= 0 || secondSize <= 0)
        return true;
    return secondOffset >= firstOffset + firstSize || secondOffset + secondSize <= firstOffset;
}

QString formatPieceRange(qint64 offset, qint64 size)
{
    const auto hex = [](qint64 value) {
        return QStringLiteral("0x") + QString::number(value, 16).toUpper();
    };
    if (size <= 0)
        return hex(offset);
    return hex(offset) + QLatin1Char('-') + hex(offset + size - 1);
}
