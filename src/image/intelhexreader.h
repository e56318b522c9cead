#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include "datachunk.h"
#include "imagelimits.h"
#include "intelhexrecord.h"
#include "problem.h"

class JobRun;
class QIODevice;
struct RecordLine;

using IntelHexChunk = DataChunk;

// A record without data (an extended address or a start address) in file order: it came after
// `beforeChunk` data chunks. `value` is its data as one big-endian number.
struct IntelHexControlRecord {
    IntelHexRecordType type = IntelHexRecordType::ExtendedLinearAddress;
    quint32 value = 0;
    qsizetype beforeChunk = 0;
};

// What an Intel HEX file holds: its data at absolute 32-bit addresses in file order, the records
// that set addresses in between, the first start address (type 03 as segment * 16 + offset, or
// type 05) if any, and whether it ended properly.
struct IntelHexContent {
    QList<IntelHexChunk> chunks;
    QList<IntelHexControlRecord> controlRecords;
    std::optional<quint32> startAddress;
    bool hasEndOfFile = false;
    qint64 dataBytes = 0;
    quint64 lowestAddress = 0; // of any data byte; 0 when there is none
    // Where the text proper begins (after a UTF-8 byte order mark) and where the end-of-file
    // record's line begins (-1 without one), as byte positions in the input.
    qint64 textStart = 0;
    qint64 endOfFileStart = -1;
    QByteArray lineEnd; // the first line end met ("\r\n" or "\n"); empty when no line ended
    int lineCount = 0;  // lines read, up to the end-of-file record
};

// Parses Intel HEX text and checks every record: the leading ':', hex digits (either case), the
// byte count against the line's length, the checksum and a known record type (00 to 05) with its
// proper length. A UTF-8 byte order mark before the first line is skipped. Lines end in LF or CR
// LF; empty lines are skipped; reading stops at the end-of-file record. The first bad record stops
// reading with an error naming its line. A file without an end-of-file record is read to its end
// with a warning. Of several start address records the first counts, as it does in a join.
//
// The data is kept in memory, bounded: data that would take more than the limit to hold (the
// bytes themselves and the bookkeeping of scattered records) stops reading with an error.
class IntelHexReader {
public:
    // Reads from an open device, from its current position to the end-of-file record or the end;
    // `fileName` only names the input in diagnostics. The run, when there is one, gets (bytes read,
    // size) and stops reading when cancelled (an error, JobRun::cancelledProblem()).
    bool read(QIODevice &device, const QString &fileName, JobRun *run = nullptr);

    // Without data kept, reading checks the text and counts the data bytes only: memory stays
    // constant however large the input.
    void setKeepData(bool keep) { m_collector.setKeepData(keep); }
    // `usedBefore` is what earlier inputs of the same job hold already, counted against the limit.
    void setMemoryLimit(qint64 limit, qint64 usedBefore = 0)
    {
        m_collector.setMemoryLimit(limit, usedBefore);
    }
    // What the data read takes to hold, with `usedBefore`.
    qint64 memoryUsed() const { return m_collector.memoryUsed(); }
    // Hands each data record to `sink` as it is read instead of keeping it; a record the sink refuses
    // stops reading without an error (refused()).
    void setDataSink(DataChunkCollector::Sink sink) { m_collector.setSink(std::move(sink)); }
    bool refused() const { return m_collector.refused(); }
    // Sees every block read from the device, e.g. to hash the input while it is read.
    void setBlockObserver(std::function<void(QByteArrayView)> observer) { m_observer = std::move(observer); }

    const IntelHexContent &content() const { return m_content; }
    IntelHexContent takeContent() { return std::move(m_content); }
    // The error when read() failed, the warnings otherwise.
    const QList<Problem> &diagnostics() const { return m_diagnostics; }
    // The first error, if any.
    std::optional<Problem> error() const;

private:
    bool parseLine(const RecordLine &line);
    bool fail(int line, const QString &message);
    bool addData(quint64 address, const quint8 *data, int count, int line);

    IntelHexContent m_content;
    QList<Problem> m_diagnostics;
    QString m_fileName;
    std::function<void(QByteArrayView)> m_observer;
    DataChunkCollector m_collector;
    quint64 m_base = 0;
};
