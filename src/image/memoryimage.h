#pragma once

#include <algorithm>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include "datachunk.h"

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
        bool inBlock = false;  // `bytes` view a block of the image's storage

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
    // one is a conflict (the first found by address is reported). Chunks that continue one another
    // in a shared block, as the records of an ordered file do across their address records, become
    // one range without a copy.
    static MemoryImage fromChunks(QList<DataChunk> chunks, std::optional<Conflict> *conflict);
    // One run of bytes from `start`: a flat binary placed at an address.
    static MemoryImage fromBytes(quint64 start, QByteArray bytes);

    const QList<Range> &ranges() const { return m_ranges; }
    bool isEmpty() const { return m_ranges.isEmpty(); }
    quint64 lowestAddress() const { return m_ranges.isEmpty() ? 0 : m_ranges.first().start; }
    // One past the highest address holding data (0 when empty).
    quint64 endAddress() const { return m_ranges.isEmpty() ? 0 : m_ranges.last().end(); }
    qint64 dataSize() const;
    // Neighbouring ranges joined: the covered spans as [start, end) pairs.
    QList<QPair<quint64, quint64>> spans() const;

    // Calls `visit(address, data, length)` for each run of bytes held in [from, to), in address order,
    // and `visit(address, nullptr, length)` for each run in between that holds nothing.
    template <typename Visitor> void visit(quint64 from, quint64 to, Visitor &&visitor) const;
    // Puts `bytes` at `address`, over what was there and into what was not.
    void write(quint64 address, QByteArrayView bytes);

private:
    void keepStorageOf(const DataChunk &chunk);
    void joinViews();

    QList<Range> m_ranges;
    // The blocks that ranges read from a record file view; a range written to gets its own copy.
    QList<ByteBlock> m_storage;
};

template <typename Visitor> void MemoryImage::visit(quint64 from, quint64 to, Visitor &&visitor) const
{
    // The first range that ends after `from`.
    auto range = std::upper_bound(m_ranges.cbegin(), m_ranges.cend(), from,
                                  [](quint64 address, const Range &r) { return address < r.end(); });
    quint64 address = from;
    for (; address < to && range != m_ranges.cend(); ++range) {
        if (range->start >= to)
            break;
        if (range->start > address) {
            visitor(address, static_cast<const char *>(nullptr), range->start - address);
            address = range->start;
        }
        const quint64 end = qMin(range->end(), to);
        visitor(address, range->bytes.constData() + (address - range->start), end - address);
        address = end;
    }
    if (address < to)
        visitor(address, static_cast<const char *>(nullptr), to - address);
}
