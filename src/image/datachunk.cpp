#include "datachunk.h"

#include <cstring>

namespace {

// What holding one more run of data costs besides its bytes (the list entry and the allocation).
constexpr qint64 ChunkCost = 64;
// The blocks kept bytes go into when their amount is not known beforehand, and the most the first
// block takes when it is.
constexpr qint64 BlockSize = 16 << 20;
constexpr qint64 FirstBlockLimit = 64 << 20;

} // namespace

void DataChunkCollector::reset()
{
    m_chunks.clear();
    m_block.reset();
    m_blockSize = m_blockUsed = 0;
    m_chunkCount = 0;
    m_tail = {};
    m_refused = false;
    m_dataBytes = 0;
    m_lowestAddress = 0;
    m_lastDataLine = 0;
    m_memoryUsed = m_memoryUsedBefore;
}

bool DataChunkCollector::account(qint64 bytes)
{
    m_memoryUsed += bytes;
    return m_memoryUsed <= m_memoryLimit;
}

QString DataChunkCollector::limitText() const
{
    return QStringLiteral("данные занимают больше %1 МиБ (пока %2 байт в %3 отдельных участках); "
                          "файлы больше не принимаются")
        .arg(m_memoryLimit >> 20)
        .arg(m_dataBytes)
        .arg(m_chunkCount);
}

bool DataChunkCollector::add(quint64 address, const quint8 *data, int count, int lineNumber)
{
    if (count == 0)
        return true;
    if (m_dataBytes == 0 || address < m_lowestAddress)
        m_lowestAddress = address;
    m_dataBytes += count;
    if (!m_keepData)
        return true;
    const bool continues = m_chunkCount > 0 && m_lastDataLine == lineNumber - 1 && m_tail.end == address &&
                           m_tail.size % m_tail.recordLength == 0 && count <= m_tail.recordLength;
    m_lastDataLine = lineNumber;
    if (m_sink) {
        if (!m_sink(address, data, count)) {
            m_refused = true;
            return false;
        }
    } else {
        keep(address, data, count, lineNumber, continues);
    }
    if (continues) {
        m_tail.end += static_cast<quint64>(count);
        m_tail.size += count;
        return account(count);
    }
    ++m_chunkCount;
    m_tail = {address + static_cast<quint64>(count), count, count};
    return account(ChunkCost + count);
}

// Room for `count` bytes behind what was kept; a new block when the last is full. Only the first
// block is sized from the input: a guess gone wrong costs one more block, not a copy of the data.
char *DataChunkCollector::roomFor(qsizetype count)
{
    if (m_block && m_blockSize - m_blockUsed >= count)
        return m_block.get() + m_blockUsed;
    const qint64 size =
        m_block || m_expectedDataSize <= 0 ? BlockSize : qMin(m_expectedDataSize, FirstBlockLimit);
    m_blockSize = static_cast<qsizetype>(qMax<qint64>(size, count));
    m_block = ByteBlock(new char[static_cast<size_t>(m_blockSize)]);
    m_blockUsed = 0;
    return m_block.get();
}

// A record that continues the last chunk extends its view when it lands right behind it; in a new
// block it starts a chunk of its own, which lineOf() counts alike.
void DataChunkCollector::keep(quint64 address, const quint8 *data, int count, int lineNumber, bool continues)
{
    // What was kept last ends where the block is used up to.
    const bool behindLast = m_block && m_blockSize - m_blockUsed >= count;
    char *at = roomFor(count);
    std::memcpy(at, data, static_cast<size_t>(count));
    m_blockUsed += count;
    if (continues) {
        DataChunk &last = m_chunks.last();
        if (behindLast) {
            last.bytes = QByteArray::fromRawData(last.bytes.constData(), last.bytes.size() + count);
            return;
        }
        m_chunks.append(
            {address, QByteArray::fromRawData(at, count), lineNumber, last.recordLength, m_block});
        return;
    }
    m_chunks.append({address, QByteArray::fromRawData(at, count), lineNumber, count, m_block});
}
