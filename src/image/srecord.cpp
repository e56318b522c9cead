#include "srecord.h"

#include "hexdigits.h"

bool isSRecordData(SRecordType type)
{
    return type == SRecordType::Data16 || type == SRecordType::Data24 || type == SRecordType::Data32;
}

bool isSRecordStart(SRecordType type)
{
    return type == SRecordType::Start16 || type == SRecordType::Start24 || type == SRecordType::Start32;
}

bool isSRecordCount(SRecordType type)
{
    return type == SRecordType::Count16 || type == SRecordType::Count24;
}

namespace {

QLatin1Char typeDigitOf(SRecordType type)
{
    return QLatin1Char(static_cast<char>('0' + static_cast<int>(type)));
}

// The start code, a line length some record can have and a known record type, stored in `record`;
// the line long enough for that type's count, address and checksum.
QString checkSRecordFrame(const char *text, qsizetype length, DecodedSRecord &record)
{
    using namespace SRecordLayout;
    if (length == 0 || (text[0] != StartCode && text[0] != LowerCaseStartCode))
        return QStringLiteral("запись не начинается с «S»");
    if (length > MaximumLineLength)
        return QStringLiteral("строка длиннее любой записи");
    if (length < 2)
        return QStringLiteral("запись слишком коротка (символов: %1)").arg(length);
    const char typeDigit = text[TypeColumn];
    if (typeDigit == '4')
        return QStringLiteral("S4 — зарезервированный тип записи");
    if (typeDigit < '0' || typeDigit > '9')
        return QStringLiteral("неизвестный тип записи %1").arg(describeCharacter(typeDigit));
    record.type = static_cast<SRecordType>(typeDigit - '0');
    // The shortest record: count, address and checksum.
    const qsizetype shortest = AddressColumn + 2 * (record.addressLength() + 1);
    if (length < shortest)
        return QStringLiteral("запись слишком коротка для записи S%2 (символов: %1)")
            .arg(length)
            .arg(QLatin1Char(typeDigit));
    return QString();
}

// Everything after the type is hex digits in pairs.
QString checkSRecordDigits(const char *text, qsizetype length)
{
    using SRecordLayout::CountColumn;
    for (qsizetype i = CountColumn; i < length; ++i) {
        if (hexDigitValue(text[i]) < 0)
            return QStringLiteral("%1 в столбце %2 — не шестнадцатеричная цифра")
                .arg(describeCharacter(text[i]))
                .arg(i + 1);
    }
    if ((length - CountColumn) % 2 != 0)
        return QStringLiteral("в записи нечётное число шестнадцатеричных цифр");
    return QString();
}

// The count against the bytes the line holds, and the checksum against the others' sum.
QString checkSRecordCountAndSum(const DecodedSRecord &record, qsizetype byteCount, quint8 sum)
{
    const int count = record.count();
    if (byteCount - 1 != count)
        return QStringLiteral("счётчик байтов %1 (%2 байт) не совпадает со строкой: после него в ней %3 байт")
            .arg(QLatin1String(HexDigits::PairTable.pairs[count], 2))
            .arg(count)
            .arg(byteCount - 1);
    // Adding the checksum to the ones' complement of the others' sum gives 0xFF.
    if (sum != 0xFF) {
        const quint8 recorded = record.bytes[byteCount - 1];
        const auto computed = static_cast<quint8>(~(sum - recorded));
        return QStringLiteral("контрольная сумма не сходится: в записи %1, по её байтам %2")
            .arg(QLatin1String(HexDigits::PairTable.pairs[recorded], 2),
                 QLatin1String(HexDigits::PairTable.pairs[computed], 2));
    }
    return QString();
}

// No data where the type carries none; data inside the type's address space.
QString checkSRecordData(const DecodedSRecord &record)
{
    const int dataLength = record.dataLength();
    if (dataLength > 0 && (isSRecordCount(record.type) || isSRecordStart(record.type)))
        return QStringLiteral("запись S%1 не несёт данных, а в этой %2 байт")
            .arg(typeDigitOf(record.type))
            .arg(dataLength);
    if (isSRecordData(record.type)) {
        const int addressLength = record.addressLength();
        const quint64 addressSpace = Q_UINT64_C(1) << (8 * addressLength);
        if (record.address() + static_cast<quint64>(dataLength) > addressSpace)
            return QStringLiteral("данные выходят за %1-битное адресное пространство записи S%2")
                .arg(8 * addressLength)
                .arg(typeDigitOf(record.type));
    }
    return QString();
}

} // namespace

QString checkSRecordLine(const char *text, qsizetype length, DecodedSRecord &record)
{
    QString problem = checkSRecordFrame(text, length, record);
    if (!problem.isEmpty())
        return problem;
    using SRecordLayout::CountColumn;
    const qsizetype byteCount = (length - CountColumn) / 2;
    quint8 sum = 0;
    // Sound digits decode in one pass; the slower check says what is wrong with others.
    if ((length - CountColumn) % 2 != 0 ||
        !HexDigits::decodePairs(text + CountColumn, byteCount, record.bytes, sum))
        return checkSRecordDigits(text, length);
    problem = checkSRecordCountAndSum(record, byteCount, sum);
    return problem.isEmpty() ? checkSRecordData(record) : problem;
}

char *formatSRecordLine(char *out, SRecordType type, quint32 address, const char *data, qsizetype size)
{
    const int addressLength = sRecordAddressLength(type);
    Q_ASSERT(addressLength + size + 1 <= SRecordLayout::MaximumCount);
    const auto count = static_cast<quint8>(addressLength + size + 1);
    char *p = out;
    *p++ = SRecordLayout::StartCode;
    *p++ = static_cast<char>('0' + static_cast<int>(type));
    p = HexDigits::putByte(p, count);
    quint8 sum = count;
    for (int shift = 8 * (addressLength - 1); shift >= 0; shift -= 8) {
        const auto byte = static_cast<quint8>(address >> shift);
        sum += byte;
        p = HexDigits::putByte(p, byte);
    }
    sum += HexDigits::putBytes(p, data, size);
    p += 2 * size;
    p = HexDigits::putByte(p, static_cast<quint8>(~sum));
    *p++ = '\r';
    *p++ = '\n';
    return p;
}
