#pragma once

#include <QByteArrayView>
#include <QtEndian>
#include <QtGlobal>

// The parts of the ELF format an image is read from: the file header, the program headers and the
// section headers of 32- and 64-bit files, as the System V ABI lays them out. Written out here
// rather than taken from <elf.h>, which not every platform's compiler has.
namespace Elf {

constexpr char Magic[] = "\x7F"
                         "ELF";
constexpr qsizetype MagicSize = 4;
constexpr qsizetype IdentSize = 16; // e_ident
constexpr qsizetype IdentClass = 4; // EI_CLASS
constexpr qsizetype IdentData = 5;  // EI_DATA
constexpr qsizetype IdentVersion = 6;

constexpr quint8 Class32 = 1;      // ELFCLASS32
constexpr quint8 Class64 = 2;      // ELFCLASS64
constexpr quint8 LittleEndian = 1; // ELFDATA2LSB
constexpr quint8 BigEndian = 2;    // ELFDATA2MSB
constexpr quint8 CurrentVersion = 1;

constexpr quint16 TypeRelocatable = 1; // ET_REL
constexpr quint16 TypeExecutable = 2;  // ET_EXEC
constexpr quint16 TypeShared = 3;      // ET_DYN: also a position-independent executable
constexpr quint16 TypeCore = 4;        // ET_CORE

constexpr quint32 SegmentLoad = 1; // PT_LOAD

constexpr quint32 SectionNull = 0;    // SHT_NULL
constexpr quint32 SectionNoBits = 8;  // SHT_NOBITS: takes memory, holds nothing in the file
constexpr quint64 SectionAlloc = 0x2; // SHF_ALLOC: occupies memory when the program runs

// A count or index that did not fit its 16-bit field: the real one is in section header 0
// (PN_XNUM, SHN_XINDEX).
constexpr quint16 ExtendedNumber = 0xFFFF;

// Where each field lies, counted from the start of its header, in one class of file.
struct Layout {
    int wordSize = 0; // addresses, offsets and sizes: 4 or 8 bytes

    qsizetype fileHeaderSize = 0;
    qsizetype type = 0;
    qsizetype entry = 0;
    qsizetype programHeaderOffset = 0;
    qsizetype sectionHeaderOffset = 0;
    qsizetype programHeaderEntrySize = 0;
    qsizetype programHeaderCount = 0;
    qsizetype sectionHeaderEntrySize = 0;
    qsizetype sectionHeaderCount = 0;
    qsizetype sectionNameTableIndex = 0;

    qsizetype programHeaderSize = 0;
    qsizetype segmentType = 0;
    qsizetype segmentOffset = 0;
    qsizetype segmentVirtualAddress = 0;
    qsizetype segmentPhysicalAddress = 0;
    qsizetype segmentFileSize = 0;
    qsizetype segmentMemorySize = 0;

    qsizetype sectionHeaderSize = 0;
    qsizetype sectionName = 0;
    qsizetype sectionType = 0;
    qsizetype sectionFlags = 0; // word-sized
    qsizetype sectionAddress = 0;
    qsizetype sectionOffset = 0;
    qsizetype sectionSize = 0;
    qsizetype sectionLink = 0; // 32-bit in both classes
    qsizetype sectionInfo = 0;
};

constexpr Layout layout32()
{
    Layout layout;
    layout.wordSize = 4;
    layout.fileHeaderSize = 52;
    layout.type = 16;
    layout.entry = 24;
    layout.programHeaderOffset = 28;
    layout.sectionHeaderOffset = 32;
    layout.programHeaderEntrySize = 42;
    layout.programHeaderCount = 44;
    layout.sectionHeaderEntrySize = 46;
    layout.sectionHeaderCount = 48;
    layout.sectionNameTableIndex = 50;
    layout.programHeaderSize = 32;
    layout.segmentType = 0;
    layout.segmentOffset = 4;
    layout.segmentVirtualAddress = 8;
    layout.segmentPhysicalAddress = 12;
    layout.segmentFileSize = 16;
    layout.segmentMemorySize = 20;
    layout.sectionHeaderSize = 40;
    layout.sectionName = 0;
    layout.sectionType = 4;
    layout.sectionFlags = 8;
    layout.sectionAddress = 12;
    layout.sectionOffset = 16;
    layout.sectionSize = 20;
    layout.sectionLink = 24;
    layout.sectionInfo = 28;
    return layout;
}

constexpr Layout layout64()
{
    Layout layout;
    layout.wordSize = 8;
    layout.fileHeaderSize = 64;
    layout.type = 16;
    layout.entry = 24;
    layout.programHeaderOffset = 32;
    layout.sectionHeaderOffset = 40;
    layout.programHeaderEntrySize = 54;
    layout.programHeaderCount = 56;
    layout.sectionHeaderEntrySize = 58;
    layout.sectionHeaderCount = 60;
    layout.sectionNameTableIndex = 62;
    layout.programHeaderSize = 56;
    layout.segmentType = 0;
    layout.segmentOffset = 8;
    layout.segmentVirtualAddress = 16;
    layout.segmentPhysicalAddress = 24;
    layout.segmentFileSize = 32;
    layout.segmentMemorySize = 40;
    layout.sectionHeaderSize = 64;
    layout.sectionName = 0;
    layout.sectionType = 4;
    layout.sectionFlags = 8;
    layout.sectionAddress = 16;
    layout.sectionOffset = 24;
    layout.sectionSize = 32;
    layout.sectionLink = 40;
    layout.sectionInfo = 44;
    return layout;
}

// Reads fields of one file in its byte order. Callers check first that the header a field belongs
// to lies inside the file (fits()); the reads themselves do not check again.
class FieldReader {
public:
    FieldReader(QByteArrayView file, bool bigEndian, int wordSize)
        : m_file(file), m_bigEndian(bigEndian), m_wordSize(wordSize)
    {}

    // Whether `length` bytes from `offset` lie inside the file, without overflowing on the way.
    bool fits(quint64 offset, quint64 length) const
    {
        const quint64 size = static_cast<quint64>(m_file.size());
        return offset <= size && length <= size - offset;
    }

    quint8 byte(quint64 at) const { return static_cast<quint8>(m_file.at(static_cast<qsizetype>(at))); }
    quint16 half(quint64 at) const { return read<quint16>(at); }
    quint32 word(quint64 at) const { return read<quint32>(at); }
    // An address, offset or size: 32 or 64 bits by the file's class.
    quint64 wide(quint64 at) const { return m_wordSize == 8 ? read<quint64>(at) : read<quint32>(at); }

private:
    template <typename T> T read(quint64 at) const
    {
        const void *where = m_file.data() + at;
        return m_bigEndian ? qFromBigEndian<T>(where) : qFromLittleEndian<T>(where);
    }

    QByteArrayView m_file;
    bool m_bigEndian = false;
    int m_wordSize = 4;
};

} // namespace Elf
