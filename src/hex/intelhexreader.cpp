#include "hex/intelhexreader.h"

#include <cstring>
#include <limits>

#include <QFile>

#include "hex/progressthrottle.h"

namespace {

constexpr qint64 ReadBlockSize = 256 * 1024;
constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);
// What holding one more run of data or one more address record costs besides its bytes (the list
// entry and the allocation), so that a file of scattered one-byte records is bounded too.
constexpr qint64 ChunkCost = 64;
constexpr qint64 ControlRecordCost = 16;
constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype ByteOrderMarkLength = 3;

} // namespace

bool IntelHexReader::readFile(const QString &path, const ProgressCallback &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_content = {};
        m_diagnostics.clear();
        m_fileName = path;
        return fail(0, QStringLiteral("не удалось открыть файл: %1").arg(file.errorString()));
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
    m_memoryUsed = m_memoryUsedBefore;

    // Pipes and files that report no size are read to their end all the same.
    const qint64 total = device.isSequential() ? 0 : qMax<qint64>(0, device.size() - device.pos());
    ProgressThrottle throttle(progress, total);
    // Small inputs get a small buffer; large ones are read in blocks that stay warm in the cache.
    const qint64 blockSize = total > 0 ? qBound<qint64>(4096, total + 1, ReadBlockSize) : ReadBlockSize;
    QByteArray block(blockSize, Qt::Uninitialized);
    QByteArray partialLine; // a line split between two reads
    qint64 partialLineOffset = 0;
    int lineNumber = 0;
    qint64 consumed = 0;

    while (!m_content.hasEndOfFile) {
        const qint64 got = device.read(block.data(), block.size());
        if (got < 0)
            return fail(0, QStringLiteral("не удалось прочитать файл: %1").arg(device.errorString()));
        if (got == 0)
            break;
        if (m_observer)
            m_observer(QByteArrayView(block.constData(), got));
        const qint64 blockOffset = consumed;
        consumed += got;
        const char *data = block.constData();
        qsizetype start = 0;
        while (start < got && !m_content.hasEndOfFile) {
            const void *found = std::memchr(data + start, '\n', static_cast<size_t>(got - start));
            if (!found) {
                if (partialLine.isEmpty())
                    partialLineOffset = blockOffset + start;
                partialLine.append(data + start, got - start);
                if (partialLine.size() > IntelHexLayout::MaximumLineLength + ByteOrderMarkLength + 1)
                    return fail(lineNumber + 1, QStringLiteral("строка длиннее любой записи"));
                break;
            }
            const qsizetype end = static_cast<const char *>(found) - data;
            if (lineNumber == std::numeric_limits<int>::max() - 1)
                return fail(0, QStringLiteral("в файле больше строк, чем можно сосчитать"));
            if (m_content.lineEnd.isEmpty())
                m_content.lineEnd =
                    (end > start && data[end - 1] == '\r') || (end == start && partialLine.endsWith('\r'))
                        ? QByteArray("\r\n")
                        : QByteArray("\n");
            ++lineNumber;
            bool ok;
            if (partialLine.isEmpty()) {
                ok = parseLine(data + start, end - start, lineNumber, blockOffset + start);
            } else {
                partialLine.append(data + start, end - start);
                ok = parseLine(partialLine.constData(), partialLine.size(), lineNumber, partialLineOffset);
                partialLine.clear();
            }
            if (!ok)
                return false;
            start = end + 1;
        }
        throttle.update(consumed);
    }
    if (!m_content.hasEndOfFile && !partialLine.isEmpty() &&
        !parseLine(partialLine.constData(), partialLine.size(), ++lineNumber, partialLineOffset))
        return false;
    m_content.lineCount = lineNumber;
    if (!m_content.hasEndOfFile)
        m_diagnostics.append({HexDiagnostic::Severity::Warning, m_fileName, 0,
                              QStringLiteral("нет записи конца файла (:00000001FF); "
                                             "данные прочитаны до конца файла")});
    throttle.finish();
    return true;
}

bool IntelHexReader::account(qint64 bytes, int lineNumber)
{
    m_memoryUsed += bytes;
    if (m_memoryUsed <= m_memoryLimit)
        return true;
    return fail(lineNumber, QStringLiteral("данные занимают больше %1 МиБ (уже %2 байт в %3 отдельных "
                                           "участках); такие большие файлы не принимаются")
                                .arg(m_memoryLimit >> 20)
                                .arg(m_content.dataBytes)
                                .arg(m_content.chunks.size()));
}

bool IntelHexReader::parseLine(const char *text, qsizetype length, int lineNumber, qint64 lineOffset)
{
    if (lineNumber == 1 && length >= ByteOrderMarkLength &&
        std::memcmp(text, ByteOrderMark, ByteOrderMarkLength) == 0) {
        text += ByteOrderMarkLength;
        length -= ByteOrderMarkLength;
        lineOffset += ByteOrderMarkLength;
        m_content.textStart = ByteOrderMarkLength;
    }
    if (length > 0 && text[length - 1] == '\r')
        --length;
    if (length == 0)
        return true;

    DecodedRecordLine record;
    const QString problem = checkRecordLine(text, length, record);
    if (!problem.isEmpty())
        return fail(lineNumber, problem);

    const int count = record.count();
    const quint8 *data = record.data();
    switch (record.type()) {
    case IntelHexRecordType::Data: {
        const quint64 absolute = m_base + record.address();
        if (absolute + static_cast<quint64>(count) > AddressSpaceEnd)
            return fail(lineNumber, QStringLiteral("данные выходят за 32-битное адресное пространство"));
        return addData(absolute, data, count, lineNumber);
    }
    case IntelHexRecordType::EndOfFile:
        m_content.hasEndOfFile = true;
        m_content.endOfFileStart = lineOffset;
        return true;
    case IntelHexRecordType::ExtendedSegmentAddress:
        m_base = static_cast<quint64>(record.value()) << 4;
        break;
    case IntelHexRecordType::ExtendedLinearAddress:
        m_base = static_cast<quint64>(record.value()) << 16;
        break;
    case IntelHexRecordType::StartSegmentAddress:
        if (!m_content.startAddress)
            m_content.startAddress = (static_cast<quint32>(data[0] << 8 | data[1]) << 4) +
                                     static_cast<quint32>(data[2] << 8 | data[3]);
        break;
    case IntelHexRecordType::StartLinearAddress:
        if (!m_content.startAddress)
            m_content.startAddress = record.value();
        break;
    }
    if (!m_keepData)
        return true;
    m_content.controlRecords.append({record.type(), record.value(), m_content.chunks.size()});
    return account(ControlRecordCost, lineNumber);
}

bool IntelHexReader::addData(quint64 address, const quint8 *data, int count, int lineNumber)
{
    if (count == 0)
        return true;
    if (m_content.dataBytes == 0 || address < m_content.lowestAddress)
        m_content.lowestAddress = address;
    m_content.dataBytes += count;
    if (!m_keepData)
        return true;
    const char *bytes = reinterpret_cast<const char *>(data);
    if (!m_content.chunks.isEmpty() && m_lastDataLine == lineNumber - 1) {
        IntelHexChunk &last = m_content.chunks.last();
        if (last.end() == address && last.bytes.size() % last.recordLength == 0 &&
            count <= last.recordLength) {
            last.bytes.append(bytes, count);
            m_lastDataLine = lineNumber;
            return account(count, lineNumber);
        }
    }
    m_content.chunks.append({static_cast<quint32>(address), QByteArray(bytes, count), lineNumber, count});
    m_lastDataLine = lineNumber;
    return account(ChunkCost + count, lineNumber);
}
