#pragma once

#include <QtGlobal>

// The CRC that the STM32 hardware CRC unit computes in its reset configuration: polynomial
// 0x04C11DB7, initial value 0xFFFFFFFF, the data fed as 32-bit words (here read little-endian from
// memory, as the core stores them), most significant bit first, no final inversion. Bootloaders
// that check an application with the CRC unit compare against this value.
class Stm32Crc {
public:
    // Data may come in pieces of any length; the words are formed across them.
    void addData(const char *data, qint64 length);
    // The CRC of the words fed so far; bytes of a word not yet complete are not in it.
    quint32 result() const { return m_state; }

private:
    void addWords(const uchar *bytes, qint64 length);

    quint32 m_state = 0xFFFFFFFFu;
    uchar m_pending[4] = {};
    int m_pendingLength = 0;
};
