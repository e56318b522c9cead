#include "imagecompare.h"

#include <cstring>

namespace {

// A run of an image between two addresses: its bytes, or null where it holds none.
struct Run {
    quint64 start;
    const char *data;
    quint64 length;
};

QList<Run> runsOf(const MemoryImage &image, quint64 from, quint64 to)
{
    QList<Run> runs;
    image.visit(from, to, [&runs](quint64 address, const char *data, quint64 length) {
        runs.append({address, data, length});
    });
    return runs;
}

class DifferenceList {
public:
    DifferenceList(ImageComparison &result, int keep) : m_result(result), m_keep(keep) {}

    void add(ImageDifference::Kind kind, quint64 start, quint64 end, std::optional<quint8> first,
             std::optional<quint8> second)
    {
        m_result.differingBytes += end - start;
        if (m_open && m_last.kind == kind && m_last.end == start) {
            m_last.end = end;
            return;
        }
        close();
        m_last = {kind, start, end, first, second};
        m_open = true;
    }
    void close()
    {
        if (!m_open)
            return;
        ++m_result.differenceCount;
        if (m_result.differences.size() < m_keep)
            m_result.differences.append(m_last);
        m_open = false;
    }

private:
    ImageComparison &m_result;
    int m_keep;
    ImageDifference m_last;
    bool m_open = false;
};

// Both images hold bytes over [address, address + length): the runs of differing bytes.
void compareBytes(const char *a, const char *b, quint64 address, quint64 length, DifferenceList &differences,
                  ImageComparison &result)
{
    // Equal stretches are skipped a block at a time, as most of two release images agree.
    constexpr quint64 Block = 4096;
    quint64 at = 0;
    while (at < length) {
        const quint64 block = qMin(Block, length - at);
        if (std::memcmp(a + at, b + at, block) == 0) {
            result.sameBytes += block;
            at += block;
            continue;
        }
        const quint64 blockEnd = at + block;
        while (at < blockEnd) {
            if (a[at] == b[at]) {
                ++result.sameBytes;
                ++at;
                continue;
            }
            const quint64 start = at;
            while (at < length && a[at] != b[at])
                ++at;
            differences.add(ImageDifference::Kind::Different, address + start, address + at,
                            static_cast<quint8>(a[start]), static_cast<quint8>(b[start]));
        }
    }
}

} // namespace

ImageComparison compareImages(const MemoryImage &first, const MemoryImage &second, quint64 from, quint64 to,
                              int keep)
{
    ImageComparison result;
    if (from >= to)
        return result;
    const QList<Run> runsA = runsOf(first, from, to);
    const QList<Run> runsB = runsOf(second, from, to);
    DifferenceList differences(result, keep);
    // Both lists cover [from, to) without a hole: step to the nearer end of the two current runs.
    qsizetype ia = 0;
    qsizetype ib = 0;
    quint64 address = from;
    while (address < to) {
        const Run &a = runsA.at(ia);
        const Run &b = runsB.at(ib);
        const quint64 end = qMin(a.start + a.length, b.start + b.length);
        const quint64 length = end - address;
        const char *bytesA = a.data ? a.data + (address - a.start) : nullptr;
        const char *bytesB = b.data ? b.data + (address - b.start) : nullptr;
        if (bytesA && bytesB)
            compareBytes(bytesA, bytesB, address, length, differences, result);
        else if (bytesA)
            differences.add(ImageDifference::Kind::OnlyInFirst, address, end, static_cast<quint8>(*bytesA),
                            std::nullopt);
        else if (bytesB)
            differences.add(ImageDifference::Kind::OnlyInSecond, address, end, std::nullopt,
                            static_cast<quint8>(*bytesB));
        address = end;
        if (address == a.start + a.length)
            ++ia;
        if (address == b.start + b.length)
            ++ib;
    }
    differences.close();
    return result;
}
