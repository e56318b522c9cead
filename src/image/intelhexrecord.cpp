#include "intelhexrecord.h"

#include <cstring>

#include "hextext.h"

namespace {

// -1: any number of data bytes.
int expectedDataLength(IntelHexRecordType type)
{
    switch (type) {
    case IntelHexRecordType::Data:
        return -1;
    case IntelHexRecordType::EndOfFile:
        return 0;
    case IntelHexRecordType::ExtendedSegmentAddress:
    case IntelHexRecordType::ExtendedLinearAddress:
        return 2;
    case IntelHexRecordType::StartSegmentAddress:
    case IntelHexRecordType::StartLinearAddress:
        return 4;
    }
    return -1;
}

// What is wrong with digits that did not decode: the first that is none, or an odd number of them.
QString digitsProblem(const char *text, qsizetype length)
{
    for (qsizetype i = 1; i < length; ++i) {
        if (hexDigitValue(text[i]) < 0)
            return QStringLiteral("%1 в столбце %2 не шестнадцатеричная цифра")
                .arg(describeCharacter(text[i]))
                .arg(i + 1);
    }
    return QStringLiteral("в записи нечётное число шестнадцатеричных цифр");
}

} // namespace

QString checkRecordLine(const char *text, qsizetype length, DecodedRecordLine &record)
{
    using namespace IntelHexLayout;
    if (length == 0 || text[0] != StartCode)
        return QStringLiteral("запись не начинается с ':'");
    if (length > MaximumLineLength)
        return QStringLiteral("строка длиннее любой записи");
    if (length < MinimumLineLength)
        return QStringLiteral("запись слишком коротка (символов: %1)").arg(length);
    const qsizetype digits = length - 1;
    const qsizetype byteCount = digits / 2;
    quint8 *bytes = record.bytes;
    quint8 sum = 0;
    if (digits % 2 != 0 || !HexDigits::decodePairs(text + 1, byteCount, bytes, sum))
        return digitsProblem(text, length);
    const int count = bytes[0];
    const qsizetype dataOnLine = byteCount - 5;
    if (dataOnLine != count)
        return QStringLiteral(
                   "счётчик байтов %1 (%2 байт) не совпадает со строкой, в которой байтов данных: %3")
            .arg(HexText::digits(bytes[0], 2))
            .arg(count)
            .arg(dataOnLine);
    if (sum != 0) {
        const quint8 recorded = bytes[byteCount - 1];
        const auto computed = static_cast<quint8>(recorded - sum);
        return QStringLiteral("неверная контрольная сумма: в записи %1, по её байтам %2")
            .arg(HexText::digits(recorded, 2), HexText::digits(computed, 2));
    }
    if (bytes[3] > static_cast<quint8>(IntelHexRecordType::StartLinearAddress))
        return QStringLiteral("неизвестный тип записи %1").arg(HexText::digits(bytes[3], 2));
    const int expected = expectedDataLength(record.type());
    if (expected >= 0 && count != expected)
        return QStringLiteral("запись типа %1 должна нести байтов данных: %2, а не %3")
            .arg(HexText::digits(bytes[3], 2))
            .arg(expected)
            .arg(count);
    return QString();
}

char *formatRecordLine(char *out, IntelHexRecordType type, quint16 address, const char *data, qsizetype size)
{
    Q_ASSERT(size <= IntelHexLayout::MaximumDataLength);
    const auto count = static_cast<quint8>(size);
    const auto addressHigh = static_cast<quint8>(address >> 8);
    const auto addressLow = static_cast<quint8>(address & 0xFF);
    const auto typeByte = static_cast<quint8>(type);
    quint8 sum = count + addressHigh + addressLow + typeByte;

    char *p = out;
    *p++ = IntelHexLayout::StartCode;
    p = HexDigits::putByte(p, count);
    p = HexDigits::putByte(p, addressHigh);
    p = HexDigits::putByte(p, addressLow);
    p = HexDigits::putByte(p, typeByte);
    sum += HexDigits::putBytes(p, data, size);
    p += 2 * size;
    p = HexDigits::putByte(p, static_cast<quint8>(0x100 - sum));
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

ExtendedAddress extendedAddressFor(quint32 offset)
{
    ExtendedAddress result;
    if (offset <= IntelHexLayout::LargestSegmentOffset) {
        result.type = IntelHexRecordType::ExtendedSegmentAddress;
        result.value = static_cast<quint16>(offset >> 4);
        result.base = static_cast<quint32>(result.value) << 4;
    } else {
        result.type = IntelHexRecordType::ExtendedLinearAddress;
        result.value = static_cast<quint16>(offset >> 16);
        result.base = static_cast<quint32>(result.value) << 16;
    }
    return result;
}
