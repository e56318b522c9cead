#include "hex/intelhexrecord.h"

#include <cstring>

#include <QIODevice>

#include "common/hextext.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLON_HEX_SSE2 1
#endif

namespace {

constexpr char UpperHexDigits[] = "0123456789ABCDEF";

// Both digits of every byte value, so that one byte becomes one two-character copy.
struct HexPairs {
    char pairs[256][2];
    constexpr HexPairs() : pairs()
    {
        for (int i = 0; i < 256; ++i) {
            pairs[i][0] = UpperHexDigits[i >> 4];
            pairs[i][1] = UpperHexDigits[i & 0x0F];
        }
    }
};
constexpr HexPairs HexPairTable;

inline char *putHexByte(char *out, quint8 value)
{
    std::memcpy(out, HexPairTable.pairs[value], 2);
    return out + 2;
}

#ifdef QUILLON_HEX_SSE2
// A full record's 16 data bytes become 32 digits in a few vector steps instead of 16 table copies;
// the record count is dominated by this when a binary file is converted. Returns the bytes' sum.
inline quint8 putHexBlock16(char *out, const char *data)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data));
    const __m128i lowNibbleMask = _mm_set1_epi8(0x0F);
    const __m128i low = _mm_and_si128(bytes, lowNibbleMask);
    const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), lowNibbleMask);
    const auto digits = [](__m128i nibbles) {
        const __m128i letters =
            _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '9' - 1));
        return _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
    };
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), digits(_mm_unpacklo_epi8(high, low)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 16), digits(_mm_unpackhi_epi8(high, low)));
    const __m128i sums = _mm_sad_epu8(bytes, _mm_setzero_si128());
    return static_cast<quint8>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
}
#endif

bool allErased(QByteArrayView block)
{
    for (char byte : block)
        if (static_cast<quint8>(byte) != 0xFF)
            return false;
    return true;
}

QString describeCharacter(char c)
{
    const auto byte = static_cast<quint8>(c);
    if (byte >= 0x20 && byte < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(c));
    return QStringLiteral("байт 0x%1").arg(HexText::digits(byte, 2));
}

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
    for (qsizetype i = 1; i < length; ++i) {
        if (hexDigitValue(text[i]) < 0)
            return QStringLiteral("%1 в столбце %2 не шестнадцатеричная цифра")
                .arg(describeCharacter(text[i]))
                .arg(i + 1);
    }
    const qsizetype digits = length - 1;
    if (digits % 2 != 0)
        return QStringLiteral("в записи нечётное число шестнадцатеричных цифр");
    const qsizetype byteCount = digits / 2;
    quint8 *bytes = record.bytes;
    quint8 sum = 0;
    for (qsizetype i = 0; i < byteCount; ++i) {
        bytes[i] = static_cast<quint8>(hexDigitValue(text[1 + 2 * i]) * 16 + hexDigitValue(text[2 + 2 * i]));
        sum += bytes[i];
    }
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

quint8 recordChecksum(QByteArrayView hexBody)
{
    quint8 sum = 0;
    for (qsizetype i = 0; i + 1 < hexBody.size(); i += 2) {
        const int high = hexDigitValue(hexBody[i]);
        const int low = hexDigitValue(hexBody[i + 1]);
        if (high >= 0 && low >= 0)
            sum += static_cast<quint8>(high * 16 + low);
    }
    return static_cast<quint8>(0x100 - sum);
}

quint8 recordChecksumOfBytes(QByteArrayView bytes)
{
    quint8 sum = 0;
    for (char byte : bytes)
        sum += static_cast<quint8>(byte);
    return static_cast<quint8>(0x100 - sum);
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
    p = putHexByte(p, count);
    p = putHexByte(p, addressHigh);
    p = putHexByte(p, addressLow);
    p = putHexByte(p, typeByte);
    qsizetype i = 0;
#ifdef QUILLON_HEX_SSE2
    for (; i + 16 <= size; i += 16) {
        sum += putHexBlock16(p, data + i);
        p += 32;
    }
#endif
    for (; i < size; ++i) {
        const auto byte = static_cast<quint8>(data[i]);
        sum += byte;
        p = putHexByte(p, byte);
    }
    p = putHexByte(p, static_cast<quint8>(0x100 - sum));
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

void appendRecordLine(QByteArray &out, IntelHexRecordType type, quint16 address, QByteArrayView data)
{
    const qsizetype start = out.size();
    out.resize(start + recordLineLength(data.size()));
    formatRecordLine(out.data() + start, type, address, data.data(), data.size());
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

bool writeExtendedAddressRecord(QIODevice &out, quint32 offset)
{
    if (offset == 0)
        return true;
    const ExtendedAddress extended = extendedAddressFor(offset);
    const char value[2] = {static_cast<char>(extended.value >> 8), static_cast<char>(extended.value & 0xFF)};
    QByteArray line;
    appendRecordLine(line, extended.type, 0, QByteArrayView(value, 2));
    return out.write(line) == line.size();
}

QByteArray buildDataRecord(QByteArrayView block, quint32 absoluteAddress, quint32 base)
{
    Q_ASSERT(absoluteAddress >= base);
    Q_ASSERT(absoluteAddress - base + static_cast<quint64>(block.size()) <= IntelHexLayout::WindowSize);
    QByteArray line;
    if (block.isEmpty() || allErased(block))
        return line;
    appendRecordLine(line, IntelHexRecordType::Data, static_cast<quint16>(absoluteAddress - base), block);
    return line;
}
