#include "memoryimage.h"

#include <algorithm>

MemoryImage MemoryImage::fromChunks(QList<DataChunk> chunks, std::optional<Conflict> *conflict)
{
    if (conflict)
        conflict->reset();
    // Stable, so that of two chunks at the same address the earlier line counts as the first.
    std::stable_sort(chunks.begin(), chunks.end(),
                     [](const DataChunk &a, const DataChunk &b) { return a.address < b.address; });

    MemoryImage image;
    image.m_ranges.reserve(chunks.size());
    for (DataChunk &chunk : chunks) {
        image.keepStorageOf(chunk);
        const quint64 coveredEnd = image.endAddress();
        if (image.m_ranges.isEmpty() || chunk.address >= coveredEnd) {
            const bool inBlock = bool(chunk.storage);
            image.m_ranges.append(
                {chunk.address, std::move(chunk.bytes), chunk.line, chunk.recordLength, 0, inBlock});
            continue;
        }
        // Compare the part already covered with the ranges it overlaps (a suffix of the list).
        const quint64 overlapEnd = qMin(coveredEnd, chunk.end());
        qsizetype index = image.m_ranges.size() - 1;
        while (index > 0 && image.m_ranges.at(index - 1).end() > chunk.address)
            --index;
        for (; index < image.m_ranges.size(); ++index) {
            const Range &range = image.m_ranges.at(index);
            const quint64 from = qMax<quint64>(range.start, chunk.address);
            const quint64 to = qMin(range.end(), overlapEnd);
            for (quint64 address = from; address < to; ++address) {
                const auto existing =
                    static_cast<quint8>(range.bytes.at(static_cast<qsizetype>(address - range.start)));
                const auto incoming =
                    static_cast<quint8>(chunk.bytes.at(static_cast<qsizetype>(address - chunk.address)));
                if (existing != incoming) {
                    if (conflict) {
                        int first = range.lineOf(address);
                        int second = chunk.lineOf(address);
                        quint8 firstValue = existing;
                        quint8 secondValue = incoming;
                        if (second < first) {
                            std::swap(first, second);
                            std::swap(firstValue, secondValue);
                        }
                        *conflict = Conflict{address, first, second, firstValue, secondValue};
                    }
                    return {};
                }
            }
        }
        if (chunk.end() > coveredEnd) {
            const auto skip = static_cast<qsizetype>(coveredEnd - chunk.address);
            image.m_ranges.append(
                {coveredEnd, chunk.bytes.sliced(skip), chunk.line, chunk.recordLength, skip});
        }
    }
    image.joinViews();
    return image;
}

void MemoryImage::keepStorageOf(const DataChunk &chunk)
{
    if (chunk.storage && (m_storage.isEmpty() || m_storage.last() != chunk.storage))
        m_storage.append(chunk.storage);
}

// Neighbouring ranges whose bytes lie one behind the other in a block they only view become one
// view; the lines they came from are not needed once the image is built.
void MemoryImage::joinViews()
{
    qsizetype kept = 0;
    for (qsizetype index = 0; index < m_ranges.size(); ++index) {
        Range &range = m_ranges[index];
        if (kept > 0) {
            Range &last = m_ranges[kept - 1];
            if (last.end() == range.start && last.inBlock && range.inBlock &&
                last.bytes.constData() + last.bytes.size() == range.bytes.constData()) {
                last.bytes =
                    QByteArray::fromRawData(last.bytes.constData(), last.bytes.size() + range.bytes.size());
                last.line = 0;
                last.recordLength = 0;
                continue;
            }
        }
        if (kept != index)
            m_ranges[kept] = std::move(range);
        ++kept;
    }
    m_ranges.resize(kept);
}

qint64 MemoryImage::dataSize() const
{
    qint64 size = 0;
    for (const Range &range : m_ranges)
        size += range.bytes.size();
    return size;
}

QList<QPair<quint64, quint64>> MemoryImage::spans() const
{
    QList<QPair<quint64, quint64>> result;
    for (const Range &range : m_ranges) {
        if (!result.isEmpty() && result.last().second == range.start)
            result.last().second = range.end();
        else
            result.append({range.start, range.end()});
    }
    return result;
}

MemoryImage MemoryImage::fromBytes(quint64 start, QByteArray bytes)
{
    MemoryImage image;
    if (!bytes.isEmpty())
        image.m_ranges.append({start, std::move(bytes), 0, 0, 0});
    return image;
}

void MemoryImage::write(quint64 address, QByteArrayView bytes)
{
    const quint64 end = address + static_cast<quint64>(bytes.size());
    // Runs that hold nothing yet become ranges of their own; the ranges keep their order.
    QList<Range> added;
    quint64 covered = address;
    for (Range &range : m_ranges) {
        if (range.end() <= address || range.start >= end)
            continue;
        if (range.start > covered)
            added.append(
                {covered, bytes.sliced(covered - address, range.start - covered).toByteArray(), 0, 0, 0});
        const quint64 from = qMax(range.start, address);
        const quint64 to = qMin(range.end(), end);
        // A range that views a shared block gets its own copy here.
        std::copy_n(bytes.data() + (from - address), to - from, range.bytes.data() + (from - range.start));
        range.inBlock = false;
        covered = to;
    }
    if (covered < end)
        added.append({covered, bytes.sliced(covered - address).toByteArray(), 0, 0, 0});
    for (Range &range : added) {
        const auto position = std::lower_bound(m_ranges.begin(), m_ranges.end(), range.start,
                                               [](const Range &r, quint64 start) { return r.start < start; });
        m_ranges.insert(position, std::move(range));
    }
}
