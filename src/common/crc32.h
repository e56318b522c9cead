#pragma once

#include <QByteArray>
#include <QtGlobal>

// The CRC-32 of zlib, PNG and Ethernet (reflected polynomial 0xEDB88320), the checksum release
// engineers compare images by. Data can be added in pieces.
class Crc32 {
public:
    void addData(const char *data, qint64 length);
    void addData(const QByteArray &data) { addData(data.constData(), data.size()); }
    quint32 result() const { return ~m_state; }

    static quint32 of(const QByteArray &data)
    {
        Crc32 crc;
        crc.addData(data);
        return crc.result();
    }

private:
    quint32 m_state = 0xFFFFFFFFu;
};
