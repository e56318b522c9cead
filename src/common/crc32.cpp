#include "crc32.h"

#include <array>

namespace {

// Eight tables let the loop take eight bytes a step ("slicing by 8").
using Tables = std::array<std::array<quint32, 256>, 8>;

Tables makeTables()
{
    Tables tables{};
    for (quint32 byte = 0; byte < 256; ++byte) {
        quint32 crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        tables[0][byte] = crc;
    }
    for (quint32 byte = 0; byte < 256; ++byte) {
        for (int slice = 1; slice < 8; ++slice)
            tables[slice][byte] = (tables[slice - 1][byte] >> 8) ^ tables[0][tables[slice - 1][byte] & 0xFFu];
    }
    return tables;
}

const Tables &tables()
{
    static const Tables instance = makeTables();
    return instance;
}

} // namespace

void Crc32::addData(const char *data, qint64 length)
{
    const Tables &t = tables();
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    quint32 crc = m_state;
    while (length >= 8) {
        const quint32 low = crc ^ (quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 |
                                   quint32(bytes[3]) << 24);
        crc = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^ t[4][low >> 24] ^
              t[3][bytes[4]] ^ t[2][bytes[5]] ^ t[1][bytes[6]] ^ t[0][bytes[7]];
        bytes += 8;
        length -= 8;
    }
    while (length-- > 0)
        crc = (crc >> 8) ^ t[0][(crc ^ *bytes++) & 0xFFu];
    m_state = crc;
}
