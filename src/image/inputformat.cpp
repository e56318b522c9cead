#include "inputformat.h"

#include <QByteArray>
#include <QIODevice>

#include "hexdigits.h"
#include "intelhexrecord.h"
#include "srecord.h"

namespace {

// Enough to pass a long run of empty lines before the first record.
constexpr qint64 LookedAtBytes = 64 * 1024;
constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr char ElfMagic[] = "\x7F"
                            "ELF";

bool isDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The shape of a record, not its soundness: a damaged record is still a record, and the reader
// names what is wrong with it.
InputFormat formatOfShape(QByteArrayView start)
{
    if (start.size() >= 2 && start[0] == IntelHexLayout::StartCode && hexDigitValue(start[1]) >= 0)
        return InputFormat::IntelHex;
    if (start.size() >= 3 &&
        (start[0] == SRecordLayout::StartCode || start[0] == SRecordLayout::LowerCaseStartCode) &&
        isDecimalDigit(start[1]) && hexDigitValue(start[2]) >= 0)
        return InputFormat::SRecord;
    return InputFormat::Binary;
}

} // namespace

InputFormat detectInputFormat(QByteArrayView head)
{
    if (head.isEmpty())
        return InputFormat::Empty;
    if (head.startsWith(QByteArrayView(ElfMagic)))
        return InputFormat::Elf;
    qsizetype position = head.startsWith(QByteArrayView(ByteOrderMark)) ? 3 : 0;
    while (position < head.size() && (head[position] == '\r' || head[position] == '\n'))
        ++position;
    return formatOfShape(head.sliced(position));
}

InputFormat detectInputFormat(QIODevice &device)
{
    const QByteArray head = device.peek(LookedAtBytes);
    return detectInputFormat(head);
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
