#include "hex/intelhexrecord.h"

#include <QIODevice>

namespace {

constexpr char UpperHexDigits[] = "0123456789ABCDEF";

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

char *putHexByte(char *out, quint8 value)
{
    out[0] = UpperHexDigits[value >> 4];
    out[1] = UpperHexDigits[value & 0x0F];
    return out + 2;
}

bool allErased(QByteArrayView block)
{
    for (char byte : block)
        if (static_cast<quint8>(byte) != 0xFF)
            return false;
    return true;
}

} // namespace

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

void appendRecordLine(QByteArray &out, IntelHexRecordType type, quint16 address, QByteArrayView data)
{
    Q_ASSERT(data.size() <= IntelHexLayout::MaximumDataLength);
    const auto count = static_cast<quint8>(data.size());
    const auto addressHigh = static_cast<quint8>(address >> 8);
    const auto addressLow = static_cast<quint8>(address & 0xFF);
    const auto typeByte = static_cast<quint8>(type);
    quint8 sum = count + addressHigh + addressLow + typeByte;

    const qsizetype start = out.size();
    out.resize(start + IntelHexLayout::MinimumLineLength + 2 * count + 2);
    char *p = out.data() + start;
    *p++ = IntelHexLayout::StartCode;
    p = putHexByte(p, count);
    p = putHexByte(p, addressHigh);
    p = putHexByte(p, addressLow);
    p = putHexByte(p, typeByte);
    for (char byte : data) {
        sum += static_cast<quint8>(byte);
        p = putHexByte(p, static_cast<quint8>(byte));
    }
    p = putHexByte(p, static_cast<quint8>(0x100 - sum));
    *p++ = '\r';
    *p = '\n';
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
