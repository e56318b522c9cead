#pragma once

#include <optional>

#include <QByteArray>
#include <QList>

#include "hex/intelhexreader.h"

// A sparse memory image: sorted, non-overlapping half-open address ranges with their bytes.
// Each range remembers where its bytes came from, so that a clash can name the source lines.
class MemoryImage {
public:
    struct Range {
        quint64 start = 0;
        QByteArray bytes;
        int line = 0;          // source line of the record holding the first byte (0: unknown)
        int recordLength = 0;  // bytes per source record (0: unknown)
        qint64 recordSkew = 0; // position of `start` within its first source record

        quint64 end() const { return start + static_cast<quint64>(bytes.size()); }
        int lineOf(quint64 address) const
        {
            if (line == 0 || recordLength == 0)
                return line;
            return line + static_cast<int>((address - start + recordSkew) / recordLength);
        }
    };

    // Two sources that put different bytes at the same address.
    struct Conflict {
        quint64 address = 0;
        int firstLine = 0;
        int secondLine = 0;
        quint8 firstValue = 0;
        quint8 secondValue = 0;
    };

    // Builds the image from chunks in file order. The same byte given twice is accepted; a different
    // one is a conflict (the first found by address is reported).
    static MemoryImage fromChunks(QList<IntelHexChunk> chunks, std::optional<Conflict> *conflict);

    const QList<Range> &ranges() const { return m_ranges; }
    bool isEmpty() const { return m_ranges.isEmpty(); }
    quint64 lowestAddress() const { return m_ranges.isEmpty() ? 0 : m_ranges.first().start; }
    // One past the highest address holding data (0 when empty).
    quint64 endAddress() const { return m_ranges.isEmpty() ? 0 : m_ranges.last().end(); }
    qint64 dataSize() const;
    // Neighbouring ranges joined: the covered spans as [start, end) pairs.
    QList<QPair<quint64, quint64>> spans() const;

private:
    QList<Range> m_ranges;
};
