#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include "imagewriter.h"
#include "intelhexwriter.h"
#include "srecordwriter.h"

class QIODevice;

// Writes an image whose data comes in rising addresses straight to the output, as a file written by
// a linker comes, so that nothing of it is held: the same bytes writeImage() writes from the whole
// image. A binary starts at its base address and gets the fill for the addresses without data;
// Intel HEX and S-records keep the 16-byte grid from the start of each run of data.
//
// Data that goes back below what was written (or the base), that overlaps it, or that would make an
// image writeImage() refuses, is refused: the caller then gathers the image whole instead.
class OrderedImageWriter {
public:
    OrderedImageWriter(QIODevice &out, OutputFormat format, const ImageWriteOptions &options);

    // False when the data cannot follow what was written (nothing of it is written then).
    bool add(quint64 address, const quint8 *data, int count);
    // Writes what is still buffered and the records that end the file.
    bool finish(std::optional<quint32> startAddress);

    bool isEmpty() const { return !m_hasData; }
    // A write failed: nothing more is written, and the reason stays.
    bool hasFailed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    bool fits(quint64 address, quint64 end) const;
    void addBinary(quint64 address, const char *data, qsizetype count);
    void fillTo(quint64 address);
    void addRecords(quint64 address, const char *data, qsizetype count);
    bool writeBuffer();
    bool handPending();
    void keepError(const QString &error);

    QIODevice &m_out;
    OutputFormat m_format;
    ImageWriteOptions m_options;
    std::optional<IntelHexWriter> m_hex;
    std::optional<SRecordWriter> m_srecords;
    // Binary output waiting to be written, or a run of data waiting for the record writer.
    QByteArray m_buffer;
    qsizetype m_used = 0;
    quint64 m_bufferStart = 0; // the address of the buffer's first byte (records)
    quint64 m_next = 0;        // the first address new data may take
    bool m_hasData = false;
    bool m_failed = false;
    QString m_error;
};
