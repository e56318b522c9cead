#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "common/progress.h"
#include "hex/hexdiagnostic.h"

class QIODevice;

// Data read from consecutive records that follow each other in memory. Records of one chunk come
// from consecutive lines, all `recordLength` bytes long except possibly the last, so the line of
// any byte can be told without keeping every record.
struct IntelHexChunk {
    quint32 address = 0;
    QByteArray bytes;
    int line = 0; // line of the first record
    int recordLength = 0;

    quint64 end() const { return address + static_cast<quint64>(bytes.size()); }
    int lineOf(quint64 byteAddress) const
    {
        if (recordLength <= 0)
            return line;
        return line + static_cast<int>((byteAddress - address) / static_cast<quint64>(recordLength));
    }
};

// What an Intel HEX file holds: its data at absolute 32-bit addresses in file order, the start
// address (type 03 as segment * 16 + offset, or type 05) if any, and whether it ended properly.
struct IntelHexContent {
    QList<IntelHexChunk> chunks;
    std::optional<quint32> startAddress;
    bool hasEndOfFile = false;
    qint64 dataBytes = 0;
};

// Parses Intel HEX text and checks every record: the leading ':', hex digits (either case), the
// byte count against the line's length, the checksum and a known record type (00 to 05) with its
// proper length. Lines end in LF or CR LF; empty lines are skipped; reading stops at the
// end-of-file record. The first bad record stops reading with an error naming its line. A file
// without an end-of-file record is read to its end with a warning.
class IntelHexReader {
public:
    // Reads a file. `progress` gets (bytes read, file size).
    bool readFile(const QString &path, const ProgressCallback &progress = {});
    // Reads from an open device; `fileName` only names the input in diagnostics.
    bool read(QIODevice &device, const QString &fileName, const ProgressCallback &progress = {});

    const IntelHexContent &content() const { return m_content; }
    IntelHexContent takeContent() { return std::move(m_content); }
    // The error when read() failed, the warnings otherwise.
    const QList<HexDiagnostic> &diagnostics() const { return m_diagnostics; }
    // The first error, if any.
    std::optional<HexDiagnostic> error() const;

private:
    bool parseLine(const char *text, qsizetype length, int lineNumber);
    bool fail(int line, const QString &message);
    void addData(quint64 address, const quint8 *data, int count, int lineNumber);

    IntelHexContent m_content;
    QList<HexDiagnostic> m_diagnostics;
    QString m_fileName;
    quint64 m_base = 0;
    int m_lastDataLine = 0;
};
