#include "placedbinarywriter.h"

#include <cstring>
#include <iterator>

#include "atomicoutputfile.h"
#include "imagelimits.h"

namespace {

constexpr qsizetype BufferSize = 256 * 1024;
// Runs tracked at most: a file of records shuffled one by one is better held whole.
constexpr size_t MostRuns = 4096;
constexpr quint64 NoLimit = ~Q_UINT64_C(0);

} // namespace

PlacedBinaryWriter::PlacedBinaryWriter(AtomicOutputFile &out, quint64 base)
    : m_out(out), m_base(base), m_buffer(BufferSize, Qt::Uninitialized), m_fileEnd(base)
{}

QString PlacedBinaryWriter::errorString() const
{
    return m_out.errorString();
}

bool PlacedBinaryWriter::add(quint64 address, const quint8 *data, int count)
{
    const quint64 end = address + static_cast<quint64>(count);
    if (address < m_base || end > m_base + LargestImageSize)
        return false;
    if (m_failed)
        return true;
    const bool continuesRun = m_runOpen && address == m_runNext && end <= m_runLimit;
    if (!continuesRun) {
        if (!flushRun())
            return true;
        if (!repeatsWritten(address, data, count))
            return false;
        if (m_failed)
            return true;
        if (m_written.size() >= MostRuns)
            return false;
        openRun(address, end);
    }
    while (count > 0 && !m_failed) {
        const qsizetype length = qMin<qsizetype>(count, BufferSize - m_used);
        std::memcpy(m_buffer.data() + m_used, data, size_t(length));
        m_used += length;
        data += length;
        count -= length;
        m_runNext += static_cast<quint64>(length);
        if (m_used == BufferSize)
            flushRun();
    }
    return true;
}

// Whether the bytes already written where the data lands are the data's own.
bool PlacedBinaryWriter::repeatsWritten(quint64 address, const quint8 *data, int count)
{
    const quint64 end = address + static_cast<quint64>(count);
    auto run = m_written.upper_bound(address);
    if (run != m_written.begin() && std::prev(run)->second > address)
        --run;
    QByteArray written;
    for (; run != m_written.end() && run->first < end; ++run) {
        const quint64 from = qMax(run->first, address);
        const quint64 to = qMin(run->second, end);
        written.resize(static_cast<qsizetype>(to - from));
        if (!m_out.readAt(static_cast<qint64>(from - m_base), written.data(), written.size())) {
            m_failed = true;
            return true;
        }
        if (std::memcmp(written.constData(), data + (from - address), size_t(written.size())) != 0)
            return false;
    }
    return true;
}

// A new run from `address`; data that continues it must stop short of the next run written.
void PlacedBinaryWriter::openRun(quint64 address, quint64 end)
{
    const auto ahead = m_written.upper_bound(end);
    if (ahead != m_written.begin() && std::prev(ahead)->second > end)
        m_runLimit = end;
    else
        m_runLimit = ahead == m_written.end() ? NoLimit : ahead->first;
    m_runOpen = true;
    m_runNext = address;
    m_used = 0;
}

// Writes the buffered part of the run at its place, the fill before it where the output ends short.
bool PlacedBinaryWriter::flushRun()
{
    if (!m_runOpen || m_used == 0 || m_failed)
        return !m_failed;
    const quint64 start = m_runNext - static_cast<quint64>(m_used);
    if (start > m_fileEnd && !writeFill(start))
        return false;
    if (!m_out.writeAt(static_cast<qint64>(start - m_base), m_buffer.constData(), m_used)) {
        m_failed = true;
        return false;
    }
    m_fileEnd = qMax(m_fileEnd, m_runNext);
    markWritten(start, m_runNext);
    m_used = 0;
    return true;
}

bool PlacedBinaryWriter::writeFill(quint64 to)
{
    const QByteArray fill(static_cast<qsizetype>(qMin<quint64>(to - m_fileEnd, BufferSize)), '\xFF');
    while (m_fileEnd < to) {
        const auto length = static_cast<qsizetype>(qMin<quint64>(to - m_fileEnd, BufferSize));
        if (!m_out.writeAt(static_cast<qint64>(m_fileEnd - m_base), fill.constData(), length)) {
            m_failed = true;
            return false;
        }
        m_fileEnd += static_cast<quint64>(length);
    }
    return true;
}

void PlacedBinaryWriter::markWritten(quint64 start, quint64 end)
{
    auto run = m_written.upper_bound(start);
    if (run != m_written.begin() && std::prev(run)->second >= start) {
        --run;
        start = run->first;
        end = qMax(end, run->second);
        run = m_written.erase(run);
    }
    while (run != m_written.end() && run->first <= end) {
        end = qMax(end, run->second);
        run = m_written.erase(run);
    }
    m_written.emplace(start, end);
}

bool PlacedBinaryWriter::finish()
{
    return flushRun() && !m_failed;
}
