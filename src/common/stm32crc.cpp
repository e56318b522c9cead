#include "stm32crc.h"

#include <array>

namespace {

using Table = std::array<quint32, 256>;

Table makeTable()
{
    Table table{};
    for (quint32 byte = 0; byte < 256; ++byte) {
        quint32 crc = byte << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        table[byte] = crc;
    }
    return table;
}

const Table &table()
{
    static const Table instance = makeTable();
    return instance;
}

} // namespace

void Stm32Crc::addWords(const uchar *bytes, qint64 length)
{
    const Table &t = table();
    quint32 crc = m_state;
    // A little-endian word enters most significant byte first: its fourth byte in memory leads.
    for (qint64 i = 0; i + 4 <= length; i += 4) {
        crc = (crc << 8) ^ t[(crc >> 24) ^ bytes[i + 3]];
        crc = (crc << 8) ^ t[(crc >> 24) ^ bytes[i + 2]];
        crc = (crc << 8) ^ t[(crc >> 24) ^ bytes[i + 1]];
        crc = (crc << 8) ^ t[(crc >> 24) ^ bytes[i]];
    }
    m_state = crc;
}

void Stm32Crc::addData(const char *data, qint64 length)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    while (m_pendingLength > 0 && m_pendingLength < 4 && length > 0) {
        m_pending[m_pendingLength++] = *bytes++;
        --length;
    }
    if (m_pendingLength == 4) {
        addWords(m_pending, 4);
        m_pendingLength = 0;
    }
    const qint64 whole = length & ~qint64(3);
    addWords(bytes, whole);
    for (qint64 i = whole; i < length; ++i)
        m_pending[m_pendingLength++] = bytes[i];
}
