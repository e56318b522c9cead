#pragma once

#include <functional>
#include <map>

#include <QByteArray>
#include <QByteArrayView>

#include "intelhexreader.h"

// Writes the contents of Intel HEX files one after another as one Intel HEX text that every reader
// takes to hold the same bytes at the same addresses:
// - each file's records keep their order and their data lengths, and its extended address records
//   are written where they stood; a file's start address record only while none was written yet;
// - every file starts from address base 0, as it did on its own: a base an earlier file left
//   behind is set back to 0 first;
// - a segment base is set back to 0 before a linear base is set, and a linear base before a
//   segment base, because GNU objcopy adds the two where other readers take the last one;
// - a record that would reach past its 64 KiB address window is split, its rest placed through a
//   linear address record (readers disagree on whether segment addresses wrap);
// - each address is written once: bytes an earlier record gave already are left out;
// - empty lines, a byte order mark and anything after a file's end-of-file record are not
//   copied; one end-of-file record closes the text.
// All text is upper case; lines end as `lineEnd` ("\r\n" or "\n").
class JoinedHexWriter {
public:
    // Receives the text in large blocks; false stops the join.
    using Sink = std::function<bool(QByteArrayView)>;

    JoinedHexWriter(Sink sink, QByteArray lineEnd);

    bool addPiece(const IntelHexContent &piece);
    // Writes the end-of-file record and hands over what is left.
    bool finish();

private:
    void addControlRecord(const IntelHexControlRecord &record);
    void addData(quint64 address, const char *data, qsizetype size);
    void addUncovered(quint64 address, const char *data, qsizetype size);
    void setSegmentBase(quint16 value);
    void setLinearBase(quint16 value);
    void appendLine(IntelHexRecordType type, quint16 address, const char *data, qsizetype size);
    void appendValueLine(IntelHexRecordType type, quint32 value, int bytes);
    bool flushIfFull();

    Sink m_sink;
    bool m_lineFeedOnly = false;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    bool m_failed = false;
    // What the readers have in force: the segment and linear bases as set by the last records of
    // each kind, and the base the next data record is counted from.
    quint64 m_segmentBase = 0;
    quint64 m_linearBase = 0;
    quint64 m_base = 0;
    bool m_startWritten = false;
    // The addresses written so far, as [start, end) ranges merged where they touch.
    std::map<quint64, quint64> m_written;
};
