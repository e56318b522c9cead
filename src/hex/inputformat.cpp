#include "hex/inputformat.h"

#include <QByteArray>
#include <QIODevice>

#include "hex/intelhexrecord.h"
#include "hex/srecord.h"

namespace {

// Enough for the longest record behind a run of empty lines; an input whose first record is not
// within this many bytes is not taken for a record file.
constexpr qint64 LookedAtBytes = 64 * 1024;
constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char ElfMagic[] = "\x7F"
                            "ELF";

InputFormat formatOfRecord(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.startsWith(IntelHexLayout::StartCode)) {
        DecodedRecordLine record;
        if (checkRecordLine(line.data(), line.size(), record).isEmpty())
            return InputFormat::IntelHex;
    } else if (line.startsWith(SRecordLayout::StartCode)) {
        DecodedSRecord record;
        if (checkSRecordLine(line.data(), line.size(), record).isEmpty())
            return InputFormat::SRecord;
    }
    return InputFormat::Binary;
}

} // namespace

InputFormat detectInputFormat(QByteArrayView head, bool complete)
{
    if (head.isEmpty())
        return InputFormat::Empty;
    if (head.startsWith(QByteArrayView(ElfMagic)))
        return InputFormat::Elf;
    qsizetype position = head.startsWith(QByteArrayView(ByteOrderMark)) ? 3 : 0;
    while (position < head.size()) {
        const qsizetype newline = head.indexOf('\n', position);
        if (newline < 0)
            return complete ? formatOfRecord(head.sliced(position)) : InputFormat::Binary;
        const QByteArrayView line = head.sliced(position, newline - position);
        if (!line.isEmpty() && line != "\r")
            return formatOfRecord(line);
        position = newline + 1;
    }
    return InputFormat::Binary;
}

InputFormat detectInputFormat(QIODevice &device)
{
    const QByteArray head = device.peek(LookedAtBytes);
    return detectInputFormat(head, head.size() < LookedAtBytes);
}

QString inputFormatName(InputFormat format)
{
    switch (format) {
    case InputFormat::Empty:
    case InputFormat::Binary:
        return QStringLiteral("binary");
    case InputFormat::IntelHex:
        return QStringLiteral("intel-hex");
    case InputFormat::SRecord:
        return QStringLiteral("s-record");
    case InputFormat::Elf:
        return QStringLiteral("elf");
    }
    return QString();
}
