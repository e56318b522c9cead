#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include "imagelimits.h"

// A block that the bytes of many chunks lie in, one after another.
using ByteBlock = std::shared_ptr<char[]>;

// Data read from consecutive records that follow each other in memory. Records of one chunk come
// from consecutive lines, all `recordLength` bytes long except possibly the last, so the line of
// any byte can be told without keeping every record, and the records can be written again as they
// were. Formats without lines (ELF) number their pieces instead and leave `recordLength` 0.
struct DataChunk {
    quint64 address = 0;
    QByteArray bytes; // its own, or a view into `storage`
    int line = 0;     // line of the first record
    int recordLength = 0;
    ByteBlock storage = {}; // keeps the block that `bytes` views alive; empty when they are its own

    quint64 end() const { return address + static_cast<quint64>(bytes.size()); }
    int lineOf(quint64 byteAddress) const
    {
        if (recordLength <= 0)
            return line;
        return line + static_cast<int>((byteAddress - address) / static_cast<quint64>(recordLength));
    }
};

// Gathers the data records of a record file in file order, joining records that continue one
// another on consecutive lines into one chunk, and keeps what that takes to hold within a limit:
// the bytes themselves and the bookkeeping of scattered records, so that a file of one-byte
// records far apart is bounded too. The bytes kept go into a few large blocks (the first sized
// from what the input can hold), not into one growing array per chunk.
class DataChunkCollector {
public:
    // Takes the data of one record as it is read; false refuses it, which stops reading.
    using Sink = std::function<bool(quint64 address, const quint8 *data, int count)>;

    // Without data kept, only the data bytes are counted: memory stays constant however large the input.
    void setKeepData(bool keep) { m_keepData = keep; }
    // Data handed to the sink instead of kept, yet counted against the limit as if it were kept, so
    // that a file too large to hold stops at the same line either way.
    void setSink(Sink sink) { m_sink = std::move(sink); }
    // At most this many data bytes are to come (none: not known): the first block is made that large.
    void setExpectedDataSize(qint64 bytes) { m_expectedDataSize = bytes; }
    // `usedBefore` is what earlier inputs of the same job hold already, counted against the limit.
    void setMemoryLimit(qint64 limit, qint64 usedBefore = 0)
    {
        m_memoryLimit = limit;
        m_memoryUsed = m_memoryUsedBefore = usedBefore;
    }
    void reset();

    // False when holding the record would pass the limit (limitText() says so) or when the sink
    // refused it (refused()).
    bool add(quint64 address, const quint8 *data, int count, int lineNumber);
    // Counts something else held for the file against the limit; false past it.
    bool account(qint64 bytes);
    QString limitText() const;

    bool keepsData() const { return m_keepData; }
    bool hasSink() const { return bool(m_sink); }
    bool refused() const { return m_refused; }
    QList<DataChunk> &chunks() { return m_chunks; }
    qint64 dataBytes() const { return m_dataBytes; }
    quint64 lowestAddress() const { return m_lowestAddress; } // of any data byte; 0 when there is none
    qint64 memoryUsed() const { return m_memoryUsed; }

private:
    char *roomFor(qsizetype count);
    void keep(quint64 address, const quint8 *data, int count, int lineNumber, bool continues);

    // Where the last chunk (kept or not) ends, so that the next record can tell whether it continues it.
    struct ChunkTail {
        quint64 end = 0;
        qint64 size = 0;
        int recordLength = 0;
    };

    QList<DataChunk> m_chunks;
    ByteBlock m_block;
    qsizetype m_blockSize = 0;
    qsizetype m_blockUsed = 0;
    qint64 m_expectedDataSize = 0;
    qsizetype m_chunkCount = 0;
    ChunkTail m_tail;
    Sink m_sink;
    bool m_refused = false;
    qint64 m_dataBytes = 0;
    quint64 m_lowestAddress = 0;
    int m_lastDataLine = 0;
    bool m_keepData = true;
    qint64 m_memoryLimit = LargestImageSize;
    qint64 m_memoryUsedBefore = 0;
    qint64 m_memoryUsed = 0;
};

// Where a run of an image lies in its file byte for byte, as an ELF file's loadable segments do.
struct FileSpan {
    quint64 address = 0;
    qint64 fileOffset = 0;
    qint64 length = 0;
};
