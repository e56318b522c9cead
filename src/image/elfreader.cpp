#include "elfreader.h"

#include <algorithm>
#include <climits>

#include "elfformat.h"
#include "hextext.h"
#include "inputfile.h"

namespace {

// What holding one more chunk costs besides its bytes (the list entries and the allocation).
constexpr qint64 ChunkCost = 64;
// Each section is looked for in every loadable segment: a bound keeps a crafted file from making
// that take hours. Linked firmware has a handful.
constexpr int MaxLoadSegments = 256;

struct FileHeader {
    quint16 type = 0;
    quint64 entry = 0;
    quint64 programHeaderOffset = 0;
    quint64 programHeaderCount = 0;
    quint16 programHeaderEntrySize = 0;
    quint64 sectionHeaderOffset = 0;
    quint64 sectionHeaderCount = 0;
    quint16 sectionHeaderEntrySize = 0;
    quint64 sectionNameTableIndex = 0;
};

struct Segment {
    int number = 0; // of its program header, from 1
    quint64 offset = 0;
    quint64 virtualAddress = 0;
    quint64 physicalAddress = 0;
    quint64 fileSize = 0;
    quint64 memorySize = 0;

    // Whether `length` bytes at `fileOffset`, run at `address`, lie inside the segment both in the
    // file and in memory: the test by which the GNU tools find the segment that holds a section.
    bool holds(quint64 fileOffset, quint64 address, quint64 length) const
    {
        return fileOffset >= offset && length <= fileSize && fileOffset - offset <= fileSize - length &&
               address >= virtualAddress && length <= memorySize &&
               address - virtualAddress <= memorySize - length;
    }
};

struct Section {
    quint64 index = 0;
    quint32 nameOffset = 0;
    quint32 type = 0;
    quint64 flags = 0;
    quint64 address = 0;
    quint64 offset = 0;
    quint64 size = 0;

    // Allocated and stored in the file: what objcopy takes into an image.
    bool hasContents() const
    {
        return type != Elf::SectionNull && type != Elf::SectionNoBits && (flags & Elf::SectionAlloc) != 0 &&
               size > 0;
    }
};

QString describeType(quint16 type)
{
    switch (type) {
    case Elf::TypeRelocatable:
        return QStringLiteral("перемещаемый объектный файл (.o); сначала скомпонуйте из него исполняемый");
    case Elf::TypeCore:
        return QStringLiteral("дамп памяти (core)");
    default:
        return QStringLiteral("типа ELF %1, а не исполняемый").arg(type);
    }
}

// Reads one whole file held in memory; every header is checked to lie inside it before its fields
// are read.
class ElfParser {
public:
    ElfParser(QByteArrayView file, qint64 memoryLimit, bool borrowBytes)
        : m_file(file), m_fields(file, false, 4), m_memoryLimit(memoryLimit), m_borrowBytes(borrowBytes)
    {}

    bool parse();

    ElfContent content;
    QString error;

private:
    bool fail(const QString &message)
    {
        error = message;
        return false;
    }
    bool readIdentification();
    bool readFileHeader();
    bool readExtendedNumbers();
    bool checkTable(quint64 offset, quint64 count, quint16 entrySize, qsizetype expectedSize,
                    const QString &what);
    bool readSegments();
    Segment segmentAt(quint64 index) const;
    bool readSectionNames();
    Section sectionAt(quint64 index) const;
    QString describe(const Section &section) const;
    bool readSections();
    bool takeSection(const Section &section);
    bool takeSegments();
    bool hold(quint64 address, quint64 offset, quint64 size, int number);

    QByteArrayView m_file;
    Elf::Layout m_layout;
    Elf::FieldReader m_fields;
    FileHeader m_header;
    QList<Segment> m_segments; // loadable ones with file bytes
    QByteArrayView m_names;    // the section name string table
    qint64 m_memoryLimit = LargestImageSize;
    bool m_borrowBytes = false; // the chunks point into m_file instead of holding copies
    qint64 m_held = 0;
    int m_unplacedCount = 0; // sections that no loadable segment holds
    QString m_firstUnplaced;
};

bool ElfParser::parse()
{
    content.fileSize = m_file.size();
    if (!readIdentification() || !readFileHeader() || !readExtendedNumbers() || !readSegments())
        return false;
    if (m_header.sectionHeaderCount == 0)
        return takeSegments();
    return readSectionNames() && readSections();
}

bool ElfParser::readIdentification()
{
    const QString invalid = QStringLiteral("не является правильным файлом ELF: %1");
    if (!m_file.startsWith(QByteArrayView(Elf::Magic, Elf::MagicSize)))
        return fail(invalid.arg(QStringLiteral("в начале нет подписи ELF (7F 45 4C 46)")));
    const QString cut =
        invalid.arg(QStringLiteral("файл обрезан: в нём %1 байт, заголовок ELF длиннее").arg(m_file.size()));
    if (m_file.size() < Elf::IdentSize)
        return fail(cut);
    const quint8 fileClass = static_cast<quint8>(m_file.at(Elf::IdentClass));
    const quint8 byteOrder = static_cast<quint8>(m_file.at(Elf::IdentData));
    const quint8 version = static_cast<quint8>(m_file.at(Elf::IdentVersion));
    if (fileClass != Elf::Class32 && fileClass != Elf::Class64)
        return fail(
            invalid.arg(QStringLiteral("неизвестный класс файла %1 (ни 32, ни 64 бита)").arg(fileClass)));
    if (byteOrder != Elf::LittleEndian && byteOrder != Elf::BigEndian)
        return fail(invalid.arg(QStringLiteral("неизвестный порядок байтов %1").arg(byteOrder)));
    if (version != Elf::CurrentVersion)
        return fail(invalid.arg(QStringLiteral("неизвестная версия ELF %1").arg(version)));
    content.is64Bit = fileClass == Elf::Class64;
    m_layout = content.is64Bit ? Elf::layout64() : Elf::layout32();
    m_fields = Elf::FieldReader(m_file, byteOrder == Elf::BigEndian, m_layout.wordSize);
    if (!m_fields.fits(0, static_cast<quint64>(m_layout.fileHeaderSize)))
        return fail(cut);
    return true;
}

bool ElfParser::readFileHeader()
{
    m_header.type = m_fields.half(m_layout.type);
    // A position-independent executable (ET_DYN) is placed at the addresses it gives, as from 0.
    if (m_header.type != Elf::TypeExecutable && m_header.type != Elf::TypeShared)
        return fail(QStringLiteral("файл ELF — %1").arg(describeType(m_header.type)));
    m_header.entry = m_fields.wide(m_layout.entry);
    if (m_header.entry != 0)
        content.entryPoint = m_header.entry;
    m_header.programHeaderOffset = m_fields.wide(m_layout.programHeaderOffset);
    m_header.programHeaderEntrySize = m_fields.half(m_layout.programHeaderEntrySize);
    m_header.programHeaderCount = m_fields.half(m_layout.programHeaderCount);
    m_header.sectionHeaderOffset = m_fields.wide(m_layout.sectionHeaderOffset);
    m_header.sectionHeaderEntrySize = m_fields.half(m_layout.sectionHeaderEntrySize);
    m_header.sectionHeaderCount = m_fields.half(m_layout.sectionHeaderCount);
    m_header.sectionNameTableIndex = m_fields.half(m_layout.sectionNameTableIndex);
    // No table where the header gives none, whatever the count says.
    if (m_header.sectionHeaderOffset == 0)
        m_header.sectionHeaderCount = 0;
    if (m_header.programHeaderOffset == 0)
        m_header.programHeaderCount = 0;
    return true;
}

// Counts too large for the file header's 16-bit fields are kept in section header 0.
bool ElfParser::readExtendedNumbers()
{
    if (m_header.sectionHeaderOffset == 0 ||
        (m_header.sectionHeaderCount != 0 && m_header.programHeaderCount != Elf::ExtendedNumber &&
         m_header.sectionNameTableIndex != Elf::ExtendedNumber))
        return true;
    if (!checkTable(m_header.sectionHeaderOffset, 1, m_header.sectionHeaderEntrySize,
                    m_layout.sectionHeaderSize, QStringLiteral("заголовков секций")))
        return false;
    const quint64 first = m_header.sectionHeaderOffset;
    if (m_header.sectionHeaderCount == 0)
        m_header.sectionHeaderCount = m_fields.wide(first + m_layout.sectionSize);
    if (m_header.sectionNameTableIndex == Elf::ExtendedNumber)
        m_header.sectionNameTableIndex = m_fields.word(first + m_layout.sectionLink);
    if (m_header.programHeaderCount == Elf::ExtendedNumber)
        m_header.programHeaderCount = m_fields.word(first + m_layout.sectionInfo);
    return true;
}

// A table of `count` headers must have headers of this class's size and end inside the file.
bool ElfParser::checkTable(quint64 offset, quint64 count, quint16 entrySize, qsizetype expectedSize,
                           const QString &what)
{
    if (count == 0)
        return true;
    if (entrySize != expectedSize)
        return fail(QStringLiteral("неверный размер записи в таблице %1: %2 байт вместо %3")
                        .arg(what)
                        .arg(entrySize)
                        .arg(expectedSize));
    const quint64 size = static_cast<quint64>(m_file.size());
    if (offset > size || count > (size - offset) / static_cast<quint64>(expectedSize))
        return fail(QStringLiteral("таблица %1 (с %2, записей: %3) выходит за конец файла")
                        .arg(what, HexText::address(offset))
                        .arg(count));
    return true;
}

Segment ElfParser::segmentAt(quint64 index) const
{
    const quint64 at =
        m_header.programHeaderOffset + index * static_cast<quint64>(m_layout.programHeaderSize);
    Segment segment;
    segment.number = static_cast<int>(qMin<quint64>(index + 1, INT_MAX));
    segment.offset = m_fields.wide(at + m_layout.segmentOffset);
    segment.virtualAddress = m_fields.wide(at + m_layout.segmentVirtualAddress);
    segment.physicalAddress = m_fields.wide(at + m_layout.segmentPhysicalAddress);
    segment.fileSize = m_fields.wide(at + m_layout.segmentFileSize);
    segment.memorySize = m_fields.wide(at + m_layout.segmentMemorySize);
    return segment;
}

// Keeps the loadable segments that hold file bytes, each checked to lie inside the file.
bool ElfParser::readSegments()
{
    if (!checkTable(m_header.programHeaderOffset, m_header.programHeaderCount,
                    m_header.programHeaderEntrySize, m_layout.programHeaderSize,
                    QStringLiteral("программных заголовков")))
        return false;
    for (quint64 index = 0; index < m_header.programHeaderCount; ++index) {
        const quint64 at =
            m_header.programHeaderOffset + index * static_cast<quint64>(m_layout.programHeaderSize);
        if (m_fields.word(at + m_layout.segmentType) != Elf::SegmentLoad)
            continue;
        const Segment segment = segmentAt(index);
        if (segment.fileSize == 0)
            continue;
        if (segment.fileSize > segment.memorySize)
            return fail(QStringLiteral(
                            "программный заголовок %1 задаёт байтов в файле (%2) больше, чем в памяти (%3)")
                            .arg(segment.number)
                            .arg(segment.fileSize)
                            .arg(segment.memorySize));
        if (!m_fields.fits(segment.offset, segment.fileSize))
            return fail(
                QStringLiteral("программный заголовок %1 выходит за конец файла").arg(segment.number));
        if (segment.physicalAddress + segment.fileSize < segment.physicalAddress)
            return fail(QStringLiteral("программный заголовок %1 выходит за конец адресного пространства")
                            .arg(segment.number));
        if (m_segments.size() == MaxLoadSegments)
            return fail(
                QStringLiteral("загружаемых сегментов с данными больше %1; такие файлы не принимаются")
                    .arg(MaxLoadSegments));
        m_segments.append(segment);
    }
    return true;
}

bool ElfParser::readSectionNames()
{
    if (!checkTable(m_header.sectionHeaderOffset, m_header.sectionHeaderCount,
                    m_header.sectionHeaderEntrySize, m_layout.sectionHeaderSize,
                    QStringLiteral("заголовков секций")))
        return false;
    const quint64 index = m_header.sectionNameTableIndex;
    if (index == 0) // SHN_UNDEF: the sections have no names
        return true;
    if (index >= m_header.sectionHeaderCount)
        return fail(QStringLiteral("номер секции имён (%1) вне таблицы из %2 секций")
                        .arg(index)
                        .arg(m_header.sectionHeaderCount));
    const Section names = sectionAt(index);
    if (names.type == Elf::SectionNoBits)
        return true;
    if (!m_fields.fits(names.offset, names.size))
        return fail(QStringLiteral("секция имён (%1) выходит за конец файла").arg(index));
    m_names = m_file.sliced(static_cast<qsizetype>(names.offset), static_cast<qsizetype>(names.size));
    return true;
}

Section ElfParser::sectionAt(quint64 index) const
{
    const quint64 at =
        m_header.sectionHeaderOffset + index * static_cast<quint64>(m_layout.sectionHeaderSize);
    Section section;
    section.index = index;
    section.nameOffset = m_fields.word(at + m_layout.sectionName);
    section.type = m_fields.word(at + m_layout.sectionType);
    section.flags = m_fields.wide(at + m_layout.sectionFlags);
    section.address = m_fields.wide(at + m_layout.sectionAddress);
    section.offset = m_fields.wide(at + m_layout.sectionOffset);
    section.size = m_fields.wide(at + m_layout.sectionSize);
    return section;
}

// "секция 3 (.data)"; the number alone when the name cannot be read.
QString ElfParser::describe(const Section &section) const
{
    const QString number = QStringLiteral("секция %1").arg(section.index);
    if (section.nameOffset >= static_cast<quint64>(m_names.size()))
        return number;
    QByteArrayView name = m_names.sliced(section.nameOffset);
    const qsizetype end = name.indexOf('\0');
    name = name.first(end < 0 ? qMin<qsizetype>(name.size(), 64) : qMin<qsizetype>(end, 64));
    if (name.isEmpty())
        return number;
    return QStringLiteral("%1 (%2)").arg(number, QString::fromUtf8(name));
}

bool ElfParser::readSections()
{
    for (quint64 index = 0; index < m_header.sectionHeaderCount; ++index) {
        const Section section = sectionAt(index);
        if (section.hasContents() && !takeSection(section))
            return false;
    }
    if (m_unplacedCount == 1)
        content.warnings << QStringLiteral(
                                "%1 не лежит ни в одном загружаемом сегменте: она взята по своему адресу")
                                .arg(m_firstUnplaced);
    else if (m_unplacedCount > 1)
        content.warnings << QStringLiteral(
                                "вне загружаемых сегментов лежат секции (всего %1, первая — %2): они "
                                "взяты по своим адресам")
                                .arg(m_unplacedCount)
                                .arg(m_firstUnplaced);
    return true;
}

// The section at the load address its segment gives it; at its own address when no segment holds it.
bool ElfParser::takeSection(const Section &section)
{
    if (!m_fields.fits(section.offset, section.size))
        return fail(QStringLiteral("%1 выходит за конец файла").arg(describe(section)));
    quint64 address = section.address;
    auto holder = std::find_if(m_segments.cbegin(), m_segments.cend(), [&section](const Segment &segment) {
        return segment.holds(section.offset, section.address, section.size);
    });
    if (holder != m_segments.cend()) {
        address = holder->physicalAddress + (section.offset - holder->offset);
    } else if (m_unplacedCount++ == 0) {
        m_firstUnplaced = describe(section);
    }
    if (address + section.size < address)
        return fail(QStringLiteral("%1 выходит за конец адресного пространства").arg(describe(section)));
    return hold(address, section.offset, section.size,
                static_cast<int>(qMin<quint64>(section.index, INT_MAX)));
}

// Without section headers nothing tells data from headers and padding: the segments are taken whole.
bool ElfParser::takeSegments()
{
    content.fromSegments = true;
    content.warnings << QStringLiteral(
        "в файле нет заголовков секций: данными взяты загружаемые сегменты (PT_LOAD) целиком, вместе с "
        "заголовками ELF и промежутками между секциями, если они в них лежат");
    for (const Segment &segment : std::as_const(m_segments))
        if (!hold(segment.physicalAddress, segment.offset, segment.fileSize, segment.number))
            return false;
    return true;
}

// Takes the bytes out of the file (or points at them), within the memory limit; runs that continue one
// another in the file and in memory share one file span.
bool ElfParser::hold(quint64 address, quint64 offset, quint64 size, int number)
{
    const qint64 room = m_memoryLimit - m_held - ChunkCost;
    if (size > static_cast<quint64>(qMax<qint64>(room, 0)))
        return fail(QStringLiteral("данные занимают больше %1 МиБ; образы больше не принимаются")
                        .arg(m_memoryLimit >> 20));
    const qint64 fileOffset = static_cast<qint64>(offset);
    const qint64 length = static_cast<qint64>(size);
    m_held += ChunkCost + length;
    const QByteArrayView bytes = m_file.sliced(fileOffset, length);
    content.chunks.append(
        {address, m_borrowBytes ? QByteArray::fromRawData(bytes.data(), bytes.size()) : bytes.toByteArray(),
         number, 0});
    if (!content.fileSpans.isEmpty()) {
        FileSpan &last = content.fileSpans.last();
        if (last.address + static_cast<quint64>(last.length) == address &&
            last.fileOffset + last.length == fileOffset) {
            last.length += length;
            return true;
        }
    }
    content.fileSpans.append({address, fileOffset, length});
    return true;
}

} // namespace

std::optional<QList<FileSpan>> ElfContent::spansInAddressOrder() const
{
    QList<FileSpan> spans = fileSpans;
    std::sort(spans.begin(), spans.end(),
              [](const FileSpan &a, const FileSpan &b) { return a.address < b.address; });
    for (qsizetype index = 1; index < spans.size(); ++index) {
        const FileSpan &last = spans.at(index - 1);
        if (spans.at(index).address < last.address + static_cast<quint64>(last.length))
            return std::nullopt;
    }
    return spans;
}

bool ElfReader::read(QByteArrayView file)
{
    return parse(file, false);
}

bool ElfReader::parse(QByteArrayView file, bool borrowBytes)
{
    ElfParser parser(file, m_memoryLimit, borrowBytes);
    const bool parsed = parser.parse();
    m_content = parsed ? std::move(parser.content) : ElfContent{};
    m_error = parser.error;
    return parsed;
}

bool ElfReader::read(InputFile &input)
{
    // A regular file is mapped and read where it lies; a pipe has to be held whole first.
    if (input.isRereadable()) {
        const QByteArrayView mapped = input.map();
        if (!mapped.isEmpty())
            return parse(mapped, m_borrowMapped);
    }
    const std::optional<QByteArray> data = input.readToEnd(m_memoryLimit);
    if (!data) {
        m_content = {};
        m_error = input.problemText(m_memoryLimit);
        return false;
    }
    return read(QByteArrayView(*data));
}
