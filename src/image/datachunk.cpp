#include "datachunk.h"

namespace {

// What holding one more run of data costs besides its bytes (the list entry and the allocation).
constexpr qint64 ChunkCost = 64;

} // namespace

void DataChunkCollector::reset()
{
    m_chunks.clear();
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
        .arg(m_chunks.size());
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
    const char *bytes = reinterpret_cast<const char *>(data);
    if (!m_chunks.isEmpty() && m_lastDataLine == lineNumber - 1) {
        DataChunk &last = m_chunks.last();
        if (last.end() == address && last.bytes.size() % last.recordLength == 0 &&
            count <= last.recordLength) {
            last.bytes.append(bytes, count);
            m_lastDataLine = lineNumber;
            return account(count);
        }
    }
    m_chunks.append({address, QByteArray(bytes, count), lineNumber, count});
    m_lastDataLine = lineNumber;
    return account(ChunkCost + count);
}
