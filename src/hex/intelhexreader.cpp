#include "hex/intelhexreader.h"

#include <array>
#include <cstring>

#include <QFile>

#include "common/hextext.h"
#include "hex/intelhexrecord.h"
#include "hex/progressthrottle.h"

namespace {

constexpr qint64 ReadBlockSize = 256 * 1024;
constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);

QString describeCharacter(char c)
{
    const auto byte = static_cast<quint8>(c);
    if (byte >= 0x20 && byte < 0x7F)
        return QStringLiteral("'%1'").arg(QLatin1Char(c));
    return QStringLiteral("byte 0x%1").arg(HexText::digits(byte, 2));
}

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

bool IntelHexReader::readFile(const QString &path, const ProgressCallback &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_content = {};
        m_diagnostics.clear();
        m_fileName = path;
        return fail(0, QStringLiteral("cannot open the file: %1").arg(file.errorString()));
    }
    return read(file, path, progress);
}

std::optional<HexDiagnostic> IntelHexReader::error() const
{
    for (const HexDiagnostic &diagnostic : m_diagnostics)
        if (diagnostic.severity == HexDiagnostic::Severity::Error)
            return diagnostic;
    return std::nullopt;
}

bool IntelHexReader::fail(int line, const QString &message)
{
    m_diagnostics.append({HexDiagnostic::Severity::Error, m_fileName, line, message});
    return false;
}

bool IntelHexReader::read(QIODevice &device, const QString &fileName, const ProgressCallback &progress)
{
    m_content = {};
    m_diagnostics.clear();
    m_fileName = fileName;
    m_base = 0;
    m_lastDataLine = 0;

    const qint64 total = device.isSequential() ? 0 : device.size();
    ProgressThrottle throttle(progress, total);
    // Small inputs get a small buffer; large ones are read in blocks that stay warm in the cache.
    const qint64 blockSize = total > 0 ? qBound<qint64>(4096, total + 1, ReadBlockSize) : ReadBlockSize;
    QByteArray block(blockSize, Qt::Uninitialized);
    QByteArray partialLine; // a line split between two reads
    int lineNumber = 0;
    qint64 consumed = 0;

    while (!m_content.hasEndOfFile) {
        const qint64 got = device.read(block.data(), block.size());
        if (got < 0)
            return fail(0, QStringLiteral("cannot read the file: %1").arg(device.errorString()));
        if (got == 0)
            break;
        consumed += got;
        const char *data = block.constData();
        qsizetype start = 0;
        while (start < got && !m_content.hasEndOfFile) {
            const void *found = std::memchr(data + start, '\n', static_cast<size_t>(got - start));
            if (!found) {
                partialLine.append(data + start, got - start);
                if (partialLine.size() > IntelHexLayout::MaximumLineLength + 1)
                    return fail(lineNumber + 1, QStringLiteral("the line is longer than any record can be"));
                break;
            }
            const qsizetype end = static_cast<const char *>(found) - data;
            ++lineNumber;
            bool ok;
            if (partialLine.isEmpty()) {
                ok = parseLine(data + start, end - start, lineNumber);
            } else {
                partialLine.append(data + start, end - start);
                ok = parseLine(partialLine.constData(), partialLine.size(), lineNumber);
                partialLine.clear();
            }
            if (!ok)
                return false;
            start = end + 1;
        }
        throttle.update(consumed);
    }
    if (!m_content.hasEndOfFile && !partialLine.isEmpty() &&
        !parseLine(partialLine.constData(), partialLine.size(), ++lineNumber))
        return false;
    if (!m_content.hasEndOfFile)
        m_diagnostics.append({HexDiagnostic::Severity::Warning, m_fileName, 0,
                              QStringLiteral("the end-of-file record (:00000001FF) is missing; "
                                             "the data was read up to the end of the file")});
    throttle.finish();
    return true;
}

bool IntelHexReader::parseLine(const char *text, qsizetype length, int lineNumber)
{
    using namespace IntelHexLayout;
    if (length > 0 && text[length - 1] == '\r')
        --length;
    if (length == 0)
        return true;
    if (text[0] != StartCode)
        return fail(lineNumber, QStringLiteral("the record does not start with ':'"));
    if (length > MaximumLineLength)
        return fail(lineNumber, QStringLiteral("the line is longer than any record can be"));
    if (length < MinimumLineLength)
        return fail(lineNumber, QStringLiteral("the record is too short (%1 characters)").arg(length));

    quint8 bytes[MaximumDataLength + 5];
    const qsizetype digits = length - 1;
    for (qsizetype i = 1; i < length; ++i) {
        if (hexDigitValue(text[i]) < 0)
            return fail(lineNumber, QStringLiteral("%1 in column %2 is not a hex digit")
                                        .arg(describeCharacter(text[i]))
                                        .arg(i + 1));
    }
    if (digits % 2 != 0)
        return fail(lineNumber, QStringLiteral("the record has an odd number of hex digits"));
    const qsizetype byteCount = digits / 2;
    quint8 sum = 0;
    for (qsizetype i = 0; i < byteCount; ++i) {
        bytes[i] = static_cast<quint8>(hexDigitValue(text[1 + 2 * i]) * 16 + hexDigitValue(text[2 + 2 * i]));
        sum += bytes[i];
    }
    const int count = bytes[0];
    const qsizetype dataOnLine = byteCount - 5;
    if (dataOnLine != count)
        return fail(lineNumber, QStringLiteral("the byte count %1 (%2 bytes) does not match the line, "
                                               "which holds %3 data bytes")
                                    .arg(HexText::digits(bytes[0], 2))
                                    .arg(count)
                                    .arg(dataOnLine));
    if (sum != 0) {
        const quint8 recorded = bytes[byteCount - 1];
        const auto computed = static_cast<quint8>(recorded - sum);
        return fail(lineNumber, QStringLiteral("checksum mismatch: the record says %1, its bytes give %2")
                                    .arg(HexText::digits(recorded, 2), HexText::digits(computed, 2)));
    }
    if (bytes[3] > static_cast<quint8>(IntelHexRecordType::StartLinearAddress))
        return fail(lineNumber, QStringLiteral("unknown record type %1").arg(HexText::digits(bytes[3], 2)));

    const auto type = static_cast<IntelHexRecordType>(bytes[3]);
    const int expected = expectedDataLength(type);
    if (expected >= 0 && count != expected)
        return fail(lineNumber, QStringLiteral("a record of type %1 must carry %2 data bytes, not %3")
                                    .arg(HexText::digits(bytes[3], 2))
                                    .arg(expected)
                                    .arg(count));
    const quint16 address = static_cast<quint16>(bytes[1] << 8 | bytes[2]);
    const quint8 *data = bytes + 4;
    switch (type) {
    case IntelHexRecordType::Data: {
        const quint64 absolute = m_base + address;
        if (absolute + static_cast<quint64>(count) > AddressSpaceEnd)
            return fail(lineNumber, QStringLiteral("the data reaches past the 32-bit address space"));
        addData(absolute, data, count, lineNumber);
        break;
    }
    case IntelHexRecordType::EndOfFile:
        m_content.hasEndOfFile = true;
        break;
    case IntelHexRecordType::ExtendedSegmentAddress:
        m_base = static_cast<quint64>(data[0] << 8 | data[1]) << 4;
        break;
    case IntelHexRecordType::ExtendedLinearAddress:
        m_base = static_cast<quint64>(data[0] << 8 | data[1]) << 16;
        break;
    case IntelHexRecordType::StartSegmentAddress:
        m_content.startAddress = (static_cast<quint32>(data[0] << 8 | data[1]) << 4) +
                                 static_cast<quint32>(data[2] << 8 | data[3]);
        break;
    case IntelHexRecordType::StartLinearAddress:
        m_content.startAddress = static_cast<quint32>(data[0]) << 24 | static_cast<quint32>(data[1]) << 16 |
                                 static_cast<quint32>(data[2]) << 8 | data[3];
        break;
    }
    return true;
}

void IntelHexReader::addData(quint64 address, const quint8 *data, int count, int lineNumber)
{
    if (count == 0)
        return;
    const char *bytes = reinterpret_cast<const char *>(data);
    m_content.dataBytes += count;
    if (!m_content.chunks.isEmpty() && m_lastDataLine == lineNumber - 1) {
        IntelHexChunk &last = m_content.chunks.last();
        if (last.end() == address && last.bytes.size() % last.recordLength == 0 &&
            count <= last.recordLength) {
            last.bytes.append(bytes, count);
            m_lastDataLine = lineNumber;
            return;
        }
    }
    m_content.chunks.append({static_cast<quint32>(address), QByteArray(bytes, count), lineNumber, count});
    m_lastDataLine = lineNumber;
}
