#include "hex/memoryimage.h"

#include <algorithm>

MemoryImage MemoryImage::fromChunks(QList<IntelHexChunk> chunks, std::optional<Conflict> *conflict)
{
    if (conflict)
        conflict->reset();
    // Stable, so that of two chunks at the same address the earlier line counts as the first.
    std::stable_sort(chunks.begin(), chunks.end(),
                     [](const IntelHexChunk &a, const IntelHexChunk &b) { return a.address < b.address; });

    MemoryImage image;
    image.m_ranges.reserve(chunks.size());
    for (IntelHexChunk &chunk : chunks) {
        const quint64 coveredEnd = image.endAddress();
        if (image.m_ranges.isEmpty() || chunk.address >= coveredEnd) {
            image.m_ranges.append({chunk.address, std::move(chunk.bytes), chunk.line, chunk.recordLength, 0});
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
    return image;
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
