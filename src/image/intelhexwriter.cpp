#include "intelhexwriter.h"

#include <QIODevice>

#include "intelhexrecord.h"
#include "recordoutput.h"

namespace {

// Small enough to stay in the cache, large enough to keep write calls few.
constexpr qsizetype FlushThreshold = 64 * 1024;

bool allErased(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<quint8>(data[i]) != 0xFF)
            return false;
    return true;
}

QByteArray bigEndian16(quint16 value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(value >> 8);
    bytes[1] = static_cast<char>(value & 0xFF);
    return bytes;
}

} // namespace

IntelHexWriter::IntelHexWriter(QIODevice &out, ErasedBlocks erased)
    : m_out(out), m_buffer(FlushThreshold + 4096, Qt::Uninitialized), m_erased(erased)
{}

void IntelHexWriter::appendLine(IntelHexRecordType type, quint16 address, const char *data, qsizetype size)
{
    // Room for a few lines is kept past the threshold; callers flush once it is crossed.
    Q_ASSERT(m_used + recordLineLength(size) <= m_buffer.size());
    m_used = formatRecordLine(m_buffer.data() + m_used, type, address, data, size) - m_buffer.constData();
}

bool IntelHexWriter::begin(quint32 firstAddress)
{
    if (firstAddress == 0)
        return true;
    const ExtendedAddress extended = extendedAddressFor(firstAddress);
    const QByteArray value = bigEndian16(extended.value);
    appendLine(extended.type, 0, value.constData(), value.size());
    m_base = extended.base;
    m_segmentBaseSet = extended.type == IntelHexRecordType::ExtendedSegmentAddress && extended.value != 0;
    // Windows end on 64 KiB boundaries, so a segment base that is not aligned gets a short first window.
    m_windowEnd = (m_base & ~(IntelHexLayout::WindowSize - 1)) + IntelHexLayout::WindowSize;
    return true;
}

void IntelHexWriter::openLinearWindow(quint64 address)
{
    // Some readers (GNU objcopy) add the segment base to the linear one instead of replacing it:
    // the segment base goes back to 0 first, so that every reader places the data alike.
    if (m_segmentBaseSet) {
        const QByteArray zero = bigEndian16(0);
        appendLine(IntelHexRecordType::ExtendedSegmentAddress, 0, zero.constData(), zero.size());
        m_segmentBaseSet = false;
    }
    const auto upper = static_cast<quint16>(address >> 16);
    const QByteArray value = bigEndian16(upper);
    appendLine(IntelHexRecordType::ExtendedLinearAddress, 0, value.constData(), value.size());
    m_base = static_cast<quint64>(upper) << 16;
    m_windowEnd = m_base + IntelHexLayout::WindowSize;
}

void IntelHexWriter::appendPiece(quint64 address, const char *data, qsizetype size)
{
    if (m_erased == ErasedBlocks::Skip && allErased(data, size))
        return;
    if (address < m_base || address >= m_windowEnd)
        openLinearWindow(address);
    appendLine(IntelHexRecordType::Data, static_cast<quint16>(address - m_base), data, size);
}

bool IntelHexWriter::writeData(quint64 address, QByteArrayView bytes)
{
    Q_ASSERT(address + static_cast<quint64>(bytes.size()) <= Q_UINT64_C(0x100000000));
    const qsizetype size = bytes.size();
    for (qsizetype position = 0; position < size; position += IntelHexLayout::DataBytesPerRecord) {
        const qsizetype length = qMin<qsizetype>(IntelHexLayout::DataBytesPerRecord, size - position);
        const quint64 start = address + static_cast<quint64>(position);
        const quint64 nextBoundary = (start | (IntelHexLayout::WindowSize - 1)) + 1;
        const char *block = bytes.data() + position;
        if (start + static_cast<quint64>(length) <= nextBoundary) {
            appendPiece(start, block, length);
        } else {
            const auto below = static_cast<qsizetype>(nextBoundary - start);
            appendPiece(start, block, below);
            appendPiece(nextBoundary, block + below, length - below);
        }
        if (m_used >= FlushThreshold && !flush())
            return false;
    }
    return true;
}

bool IntelHexWriter::finish(std::optional<quint32> startAddress)
{
    if (startAddress) {
        const char value[4] = {static_cast<char>(*startAddress >> 24), static_cast<char>(*startAddress >> 16),
                               static_cast<char>(*startAddress >> 8), static_cast<char>(*startAddress)};
        appendLine(IntelHexRecordType::StartLinearAddress, 0, value, 4);
    }
    appendLine(IntelHexRecordType::EndOfFile, 0, nullptr, 0);
    return flush();
}

bool IntelHexWriter::flush()
{
    return writeRecordBuffer(m_out, m_buffer, m_used, m_error);
}
