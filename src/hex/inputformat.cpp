#include "hex/inputformat.h"

#include <QByteArray>
#include <QIODevice>

#include "hex/intelhexrecord.h"

namespace {

// Enough for the longest record behind a run of empty lines; an input whose first record is not
// within this many bytes is not taken for Intel HEX.
constexpr qint64 LookedAtBytes = 64 * 1024;
constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";

bool isRecord(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    DecodedRecordLine record;
    return checkRecordLine(line.data(), line.size(), record).isEmpty();
}

} // namespace

InputFormat detectInputFormat(QByteArrayView head, bool complete)
{
    if (head.isEmpty())
        return InputFormat::Empty;
    qsizetype position = head.startsWith(QByteArrayView(ByteOrderMark)) ? 3 : 0;
    while (position < head.size()) {
        const qsizetype newline = head.indexOf('\n', position);
        if (newline < 0)
            return complete && isRecord(head.sliced(position)) ? InputFormat::IntelHex : InputFormat::Binary;
        const QByteArrayView line = head.sliced(position, newline - position);
        if (!line.isEmpty() && line != "\r")
            return isRecord(line) ? InputFormat::IntelHex : InputFormat::Binary;
        position = newline + 1;
    }
    return InputFormat::Binary;
}

InputFormat detectInputFormat(QIODevice &device)
{
    const QByteArray head = device.peek(LookedAtBytes);
    return detectInputFormat(head, head.size() < LookedAtBytes);
}
