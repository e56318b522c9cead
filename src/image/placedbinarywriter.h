#pragma once

#include <map>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class AtomicOutputFile;

// Writes a flat binary from its base address whose data comes in any order, each run straight to
// its place in the output, holding only where data was written: what writeImage() writes from the
// whole image, without the image in memory. Addresses that get no data are the fill (0xFF).
//
// Data that lands on bytes written before must repeat them (they are read back to compare); any
// other, and data below the base or past the largest image, is refused: the caller then gathers
// the image whole, which says what is wrong. So is data scattered into more runs than are worth
// keeping track of.
class PlacedBinaryWriter {
public:
    PlacedBinaryWriter(AtomicOutputFile &out, quint64 base);

    // False when the data is refused (nothing of it is written then).
    bool add(quint64 address, const quint8 *data, int count);
    // Writes what is still buffered.
    bool finish();

    bool isEmpty() const { return m_written.empty() && !m_runOpen; }
    bool hasFailed() const { return m_failed; }
    QString errorString() const;

private:
    bool repeatsWritten(quint64 address, const quint8 *data, int count);
    void openRun(quint64 address, quint64 end);
    bool flushRun();
    bool writeFill(quint64 to);
    void markWritten(quint64 start, quint64 end);

    AtomicOutputFile &m_out;
    quint64 m_base = 0;
    std::map<quint64, quint64> m_written; // the runs written, start -> end, joined where they touch
    // A run of data that continues itself, written when the buffer is full or the run ends.
    QByteArray m_buffer;
    qsizetype m_used = 0;
    bool m_runOpen = false;
    quint64 m_runNext = 0;  // the address of the next byte that continues the run
    quint64 m_runLimit = 0; // where written data lies ahead of the run
    quint64 m_fileEnd = 0;  // the address one past the output's last byte
    bool m_failed = false;
};
