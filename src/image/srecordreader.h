#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "datachunk.h"
#include "problem.h"

class JobRun;
class QIODevice;

// What a Motorola S-record file holds: its data at absolute addresses in file order, the text of its
// first header (S0) record, its start address (S7, S8 or S9) if any, and how it ended.
struct SRecordContent {
    QList<DataChunk> chunks;
    QByteArray header;
    std::optional<quint32> startAddress;
    bool hasTermination = false; // an S7, S8 or S9 record ended the file
    bool hasCount = false;       // an S5 or S6 record counted the data records
    int dataRecords = 0;
    qint64 dataBytes = 0;
    int lineCount = 0; // lines read, up to the termination record
};

// Parses S-record text and checks every record (checkSRecordLine): the first bad record stops
// reading with an error naming its line. A count record (S5, S6) must give the number of data
// records before it. Reading stops at the termination record (S7, S8, S9), whose address is the
// start address. Lines end in LF or CR LF, empty lines are skipped, a UTF-8 byte order mark before
// the first line is left out. A file that ends without a termination record is read to its end;
// one that has neither a count nor a termination record may have lost its tail, which is said in
// a warning. The data is held within a memory limit, as for Intel HEX.
class SRecordReader {
public:
    // Reads from an open device from its current position; `fileName` only names the input in
    // diagnostics. The run, when there is one, gets (bytes read, size) and stops reading when
    // cancelled (an error, JobRun::cancelledProblem()).
    bool read(QIODevice &device, const QString &fileName, JobRun *run = nullptr);

    void setMemoryLimit(qint64 limit) { m_collector.setMemoryLimit(limit); }
    // Without data kept, reading checks the text and counts the data bytes only.
    void setKeepData(bool keep) { m_collector.setKeepData(keep); }
    // Hands each data record to `sink` as it is read instead of keeping it; a record the sink refuses
    // stops reading without an error (refused()).
    void setDataSink(DataChunkCollector::Sink sink) { m_collector.setSink(std::move(sink)); }
    bool refused() const { return m_collector.refused(); }
    // Sees every block read from the device, e.g. to count the input's bytes while it is read.
    void setBlockObserver(std::function<void(QByteArrayView)> observer) { m_observer = std::move(observer); }

    SRecordContent takeContent() { return std::move(m_content); }
    // The error when read() failed, the warnings otherwise.
    const QList<Problem> &diagnostics() const { return m_diagnostics; }
    std::optional<Problem> error() const;

private:
    bool parseLine(const char *text, qsizetype length, int lineNumber);
    bool fail(int line, const QString &message);
    bool addData(quint64 address, const quint8 *data, int count, int line);

    SRecordContent m_content;
    QList<Problem> m_diagnostics;
    QString m_fileName;
    std::function<void(QByteArrayView)> m_observer;
    DataChunkCollector m_collector;
    bool m_headerSeen = false;
};
