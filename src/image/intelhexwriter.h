#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include "intelhexrecord.h"

class QIODevice;

// Writes data as Intel HEX records to a device. Data records carry up to 16 bytes counted from
// the start of each block handed over, are split where a 64 KiB address window ends (a record
// address never goes past FFFF) and, unless told otherwise, are skipped when every byte is 0xFF.
// An extended address
// record is written whenever a record lies outside the current window; a file that starts with a
// segment record sets the segment base back to 0 before its first linear record. Output is
// buffered and handed to the device in large writes.
class IntelHexWriter {
public:
    // A converted binary is flash read out whole: its erased blocks need no record. An assembled
    // image states every byte of its pieces, 0xFF too, so that no reader fills them otherwise.
    enum class ErasedBlocks { Skip, Write };

    explicit IntelHexWriter(QIODevice &out, ErasedBlocks erased = ErasedBlocks::Skip);

    // The same choice made after construction: a loaded image keeps every byte it names (Intel HEX,
    // S-records, ELF), a flat binary skips its erased blocks.
    void setSkipErased(bool skip) { m_erased = skip ? ErasedBlocks::Skip : ErasedBlocks::Write; }

    // Opens the first window for data starting at `firstAddress`: a segment record up to 0xFFFF0,
    // a linear record above, nothing for 0. Call once before the first writeData(), or not at all.
    bool begin(quint32 firstAddress);
    // `address + bytes.size()` must not pass 4 GiB. Blocks handed over in turn continue the
    // 16-byte grid only when their sizes are multiples of 16.
    bool writeData(quint64 address, QByteArrayView bytes);
    // Writes the start address (a type 05 record) when there is one, the end-of-file record, and flushes.
    bool finish(std::optional<quint32> startAddress = std::nullopt);

    QString errorString() const { return m_error; }

private:
    void appendPiece(quint64 address, const char *data, qsizetype size);
    void appendLine(IntelHexRecordType type, quint16 address, const char *data, qsizetype size);
    void openLinearWindow(quint64 address);
    bool flush();

    QIODevice &m_out;
    QByteArray m_buffer; // fixed size; m_used characters are waiting to be written
    qsizetype m_used = 0;
    quint64 m_base = 0;
    quint64 m_windowEnd = 0x10000;
    bool m_segmentBaseSet = false; // a non-zero segment base is in effect for the readers
    ErasedBlocks m_erased;
    QString m_error;
};
