#include "joinedhexwriter.h"

namespace {

// The buffer is handed over once it passes this; room for a few lines more is kept behind it.
constexpr qsizetype FlushThreshold = 64 * 1024;
constexpr qsizetype BufferSize = FlushThreshold + 4096;

} // namespace

JoinedHexWriter::JoinedHexWriter(Sink sink, QByteArray lineEnd)
    : m_sink(std::move(sink)), m_lineFeedOnly(lineEnd == "\n"), m_buffer(BufferSize, Qt::Uninitialized)
{}

void JoinedHexWriter::appendLine(IntelHexRecordType type, quint16 address, const char *data, qsizetype size)
{
    char *end = formatRecordLine(m_buffer.data() + m_used, type, address, data, size);
    if (m_lineFeedOnly) {
        end[-2] = '\n';
        --end;
    }
    m_used = end - m_buffer.constData();
}

void JoinedHexWriter::appendValueLine(IntelHexRecordType type, quint32 value, int bytes)
{
    char data[4];
    for (int i = 0; i < bytes; ++i)
        data[i] = static_cast<char>(value >> (8 * (bytes - 1 - i)));
    appendLine(type, 0, data, bytes);
}

void JoinedHexWriter::setSegmentBase(quint16 value)
{
    if (m_linearBase != 0)
        setLinearBase(0);
    appendValueLine(IntelHexRecordType::ExtendedSegmentAddress, value, 2);
    m_segmentBase = static_cast<quint64>(value) << 4;
    m_base = m_segmentBase;
}

void JoinedHexWriter::setLinearBase(quint16 value)
{
    if (m_segmentBase != 0) {
        appendValueLine(IntelHexRecordType::ExtendedSegmentAddress, 0, 2);
        m_segmentBase = 0;
    }
    appendValueLine(IntelHexRecordType::ExtendedLinearAddress, value, 2);
    m_linearBase = static_cast<quint64>(value) << 16;
    m_base = m_linearBase;
}

bool JoinedHexWriter::flushIfFull()
{
    if (m_used < FlushThreshold || m_failed)
        return !m_failed;
    m_failed = !m_sink(QByteArrayView(m_buffer.constData(), m_used));
    m_used = 0;
    return !m_failed;
}

void JoinedHexWriter::addControlRecord(const IntelHexControlRecord &record)
{
    switch (record.type) {
    case IntelHexRecordType::ExtendedSegmentAddress:
        setSegmentBase(static_cast<quint16>(record.value));
        break;
    case IntelHexRecordType::ExtendedLinearAddress:
        setLinearBase(static_cast<quint16>(record.value));
        break;
    case IntelHexRecordType::StartSegmentAddress:
    case IntelHexRecordType::StartLinearAddress:
        if (!m_startWritten)
            appendValueLine(record.type, record.value, 4);
        m_startWritten = true;
        break;
    case IntelHexRecordType::Data:
    case IntelHexRecordType::EndOfFile:
        break;
    }
}

void JoinedHexWriter::addUncovered(quint64 address, const char *data, qsizetype size)
{
    while (size > 0) {
        if (address < m_base || address >= m_base + IntelHexLayout::WindowSize)
            setLinearBase(static_cast<quint16>(address >> 16));
        const auto length = static_cast<qsizetype>(
            qMin<quint64>(static_cast<quint64>(size), m_base + IntelHexLayout::WindowSize - address));
        appendLine(IntelHexRecordType::Data, static_cast<quint16>(address - m_base), data, length);
        address += static_cast<quint64>(length);
        data += length;
        size -= length;
    }
}

void JoinedHexWriter::addData(quint64 address, const char *data, qsizetype size)
{
    const quint64 end = address + static_cast<quint64>(size);
    // The usual case: the record follows what was written last, or lies apart from all of it.
    auto next = m_written.upper_bound(address);
    const bool touchesPrevious = next != m_written.begin() && std::prev(next)->second >= address;
    const bool overlapsPrevious = touchesPrevious && std::prev(next)->second > address;
    const bool overlapsNext = next != m_written.end() && next->first < end;
    if (!overlapsPrevious && !overlapsNext) {
        addUncovered(address, data, size);
    } else {
        // Leave out what earlier records wrote (the overlap check made sure it is the same bytes).
        quint64 from = address;
        auto range = touchesPrevious ? std::prev(next) : next;
        for (; range != m_written.end() && range->first < end && from < end; ++range) {
            if (range->second <= from)
                continue;
            if (range->first > from)
                addUncovered(from, data + (from - address), static_cast<qsizetype>(range->first - from));
            from = qMax(from, range->second);
        }
        if (from < end)
            addUncovered(from, data + (from - address), static_cast<qsizetype>(end - from));
    }

    // Record the range, merged with those it touches.
    quint64 start = address;
    quint64 stop = end;
    auto at = m_written.lower_bound(start);
    if (at != m_written.begin() && std::prev(at)->second >= start) {
        --at;
        start = at->first;
    }
    while (at != m_written.end() && at->first <= stop) {
        stop = qMax(stop, at->second);
        at = m_written.erase(at);
    }
    m_written.emplace(start, stop);
}

bool JoinedHexWriter::addPiece(const IntelHexContent &piece)
{
    // The piece was written for a reader that starts with both bases at 0.
    if (m_segmentBase != 0) {
        appendValueLine(IntelHexRecordType::ExtendedSegmentAddress, 0, 2);
        m_segmentBase = 0;
    }
    if (m_linearBase != 0) {
        appendValueLine(IntelHexRecordType::ExtendedLinearAddress, 0, 2);
        m_linearBase = 0;
    }
    m_base = 0;

    qsizetype control = 0;
    const auto addControlRecordsBefore = [&](qsizetype chunkIndex) {
        while (control < piece.controlRecords.size() &&
               piece.controlRecords.at(control).beforeChunk <= chunkIndex) {
            addControlRecord(piece.controlRecords.at(control++));
            if (!flushIfFull())
                return false;
        }
        return true;
    };
    for (qsizetype index = 0; index < piece.chunks.size(); ++index) {
        if (!addControlRecordsBefore(index))
            return false;
        const IntelHexChunk &chunk = piece.chunks.at(index);
        const qsizetype recordLength = qMax(1, chunk.recordLength);
        for (qsizetype at = 0; at < chunk.bytes.size(); at += recordLength) {
            addData(chunk.address + static_cast<quint64>(at), chunk.bytes.constData() + at,
                    qMin(recordLength, chunk.bytes.size() - at));
            if (!flushIfFull())
                return false;
        }
    }
    return addControlRecordsBefore(piece.chunks.size()) && flushIfFull();
}

bool JoinedHexWriter::finish()
{
    appendLine(IntelHexRecordType::EndOfFile, 0, nullptr, 0);
    if (m_failed)
        return false;
    m_failed = !m_sink(QByteArrayView(m_buffer.constData(), m_used));
    m_used = 0;
    return !m_failed;
}
