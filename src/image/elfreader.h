#pragma once

#include <optional>

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include "datachunk.h"
#include "imagelimits.h"

class InputFile;

// What an ELF executable puts into flash, as objcopy takes it: the bytes of every allocated section
// with contents, each at its load address, which is the physical address of the loadable segment
// (PT_LOAD) that holds it plus the section's offset into that segment. So initialised data that
// runs from RAM lies where it is stored in flash, and the ELF and program headers and the padding
// between sections, which a segment may hold as well, are no data; .bss gives nothing.
// A chunk's `line` is its section's number as `readelf -S` shows it. A file without section headers
// gives the file bytes of its loadable segments instead, numbered by program header from 1.
struct ElfContent {
    QList<DataChunk> chunks;
    QList<FileSpan> fileSpans;         // where the chunks' bytes lie in the file
    std::optional<quint64> entryPoint; // none when the header says 0
    bool is64Bit = false;
    bool fromSegments = false; // no section headers: the chunks are whole segments
    qint64 fileSize = 0;
    QStringList warnings; // without the file's name

    // The file spans in address order; nothing when two overlap, which only the whole image tells
    // apart from a clash.
    std::optional<QList<FileSpan>> spansInAddressOrder() const;
};

// Reads ELF32 and ELF64 executables of either byte order, position-independent ones (ET_DYN) at
// the addresses they give, every header, offset and size checked against the file first. A file
// that is not an ELF executable (a relocatable object, a core dump, a damaged or cut file) is an
// error.
class ElfReader {
public:
    void setMemoryLimit(qint64 limit) { m_memoryLimit = limit; }
    // The chunks of a mapped file point into the mapping instead of holding copies: for a caller that
    // keeps the input open for as long as it uses them.
    void setBorrowMapped(bool borrow) { m_borrowMapped = borrow; }

    // `input` is open; a regular file is mapped, a pipe read into memory (up to the limit).
    bool read(InputFile &input);
    // The same on the whole file's bytes.
    bool read(QByteArrayView file);

    ElfContent takeContent() { return std::move(m_content); }
    // Why read() failed, in words (without the file's name).
    QString errorText() const { return m_error; }

private:
    bool parse(QByteArrayView file, bool borrowBytes);

    ElfContent m_content;
    QString m_error;
    qint64 m_memoryLimit = LargestImageSize;
    bool m_borrowMapped = false;
};
