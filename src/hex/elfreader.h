#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "common/imagelimits.h"
#include "hex/datachunk.h"

class InputFile;

// What an ELF executable puts into memory: the file bytes of its loadable segments (PT_LOAD), each
// at its physical (load) address, so that initialised data that runs from RAM lies where it is
// stored in flash; the part of a segment without file bytes (.bss) gives nothing. A chunk's `line`
// is the number of its program header, counted from 1.
struct ElfContent {
    QList<DataChunk> chunks;
    QList<FileSpan> segments;          // where each chunk's bytes lie in the file
    std::optional<quint64> entryPoint; // none when the header says 0
    bool is64Bit = false;
    qint64 fileSize = 0;
};

// Reads ELF32 and ELF64 executables of either byte order through libelf, position-independent ones
// (ET_DYN) at the addresses they give. A file that is not an ELF executable (a relocatable object,
// a core dump, a damaged or cut file), or whose segments point past its end, is an error.
class ElfReader {
public:
    void setMemoryLimit(qint64 limit) { m_memoryLimit = limit; }

    // `input` is open; a regular file is mapped, a pipe read into memory (up to the limit).
    bool read(InputFile &input);

    ElfContent takeContent() { return std::move(m_content); }
    // Why read() failed, in words (without the file's name).
    QString errorText() const { return m_error; }

private:
    bool fail(const QString &message);

    ElfContent m_content;
    QString m_error;
    qint64 m_memoryLimit = LargestImageSize;
};
