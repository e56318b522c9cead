#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

// Writes data as Motorola S-records to a device: an S0 header, S3 records (32-bit addresses) of up
// to 16 data bytes counted from the start of each block handed over, a count record (S5, or S6
// past 65535 records; none past what S6 can count) and, when a start address is known, an S7
// record. Output is buffered and handed to the device in large writes.
class SRecordWriter {
public:
    explicit SRecordWriter(QIODevice &out);

    // 16-byte blocks of 0xFF read back as erased flash when they are left out; a flat binary is
    // written without them, an image that names its every byte with them.
    void setSkipErased(bool skip) { m_skipErased = skip; }

    // Writes the header record. Call once before the first writeData().
    bool begin(QByteArrayView header);
    // `address + bytes.size()` must not pass 4 GiB.
    bool writeData(quint64 address, QByteArrayView bytes);
    // Writes the count and the start address and flushes.
    bool finish(std::optional<quint32> startAddress = std::nullopt);

    QString errorString() const { return m_error; }

private:
    bool flush();

    QIODevice &m_out;
    QByteArray m_buffer; // fixed size; m_used characters are waiting to be written
    qsizetype m_used = 0;
    quint64 m_dataRecords = 0;
    bool m_skipErased = false;
    QString m_error;
};
