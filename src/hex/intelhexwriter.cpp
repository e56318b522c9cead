#include "hex/intelhexwriter.h"

#include <QIODevice>

#include "hex/intelhexrecord.h"

namespace {

constexpr qsizetype FlushThreshold = 1 << 20;

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

IntelHexWriter::IntelHexWriter(QIODevice &out) : m_out(out)
{
    m_buffer.reserve(FlushThreshold + 4096);
}

bool IntelHexWriter::begin(quint32 firstAddress)
{
    if (firstAddress == 0)
        return true;
    const ExtendedAddress extended = extendedAddressFor(firstAddress);
    appendRecordLine(m_buffer, extended.type, 0, bigEndian16(extended.value));
    m_base = extended.base;
    // Windows end on 64 KiB boundaries, so a segment base that is not aligned gets a short first window.
    m_windowEnd = (m_base & ~(IntelHexLayout::WindowSize - 1)) + IntelHexLayout::WindowSize;
    return true;
}

void IntelHexWriter::openLinearWindow(quint64 address)
{
    const auto upper = static_cast<quint16>(address >> 16);
    appendRecordLine(m_buffer, IntelHexRecordType::ExtendedLinearAddress, 0, bigEndian16(upper));
    m_base = static_cast<quint64>(upper) << 16;
    m_windowEnd = m_base + IntelHexLayout::WindowSize;
}

void IntelHexWriter::appendPiece(quint64 address, QByteArrayView piece)
{
    if (allErased(piece.data(), piece.size()))
        return;
    if (address < m_base || address >= m_windowEnd)
        openLinearWindow(address);
    appendRecordLine(m_buffer, IntelHexRecordType::Data, static_cast<quint16>(address - m_base), piece);
}

bool IntelHexWriter::writeData(quint64 address, QByteArrayView bytes)
{
    Q_ASSERT(address + static_cast<quint64>(bytes.size()) <= Q_UINT64_C(0x100000000));
    const qsizetype size = bytes.size();
    for (qsizetype position = 0; position < size; position += IntelHexLayout::DataBytesPerRecord) {
        const qsizetype length = qMin<qsizetype>(IntelHexLayout::DataBytesPerRecord, size - position);
        const quint64 start = address + static_cast<quint64>(position);
        const quint64 nextBoundary = (start | (IntelHexLayout::WindowSize - 1)) + 1;
        const QByteArrayView block = bytes.sliced(position, length);
        if (start + static_cast<quint64>(length) <= nextBoundary) {
            appendPiece(start, block);
        } else {
            const auto below = static_cast<qsizetype>(nextBoundary - start);
            appendPiece(start, block.first(below));
            appendPiece(nextBoundary, block.sliced(below));
        }
        if (m_buffer.size() >= FlushThreshold && !flush())
            return false;
    }
    return true;
}

bool IntelHexWriter::finish()
{
    m_buffer.append(IntelHexLayout::EndOfFileLine);
    return flush();
}

bool IntelHexWriter::flush()
{
    if (m_buffer.isEmpty())
        return true;
    if (m_out.write(m_buffer) != m_buffer.size()) {
        m_error = m_out.errorString();
        return false;
    }
    m_buffer.resize(0); // keeps the capacity for the next round
    return true;
}
