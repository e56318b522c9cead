#include "orderedimagewriter.h"

#include <cstring>

#include <QIODevice>

#include "imagelimits.h"
#include "systemerror.h"

namespace {

constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);
// A multiple of 16, so that a run handed over in parts keeps one record grid.
constexpr qsizetype BufferSize = 256 * 1024;

} // namespace

OrderedImageWriter::OrderedImageWriter(QIODevice &out, OutputFormat format, const ImageWriteOptions &options)
    : m_out(out), m_format(format), m_options(options), m_buffer(BufferSize, Qt::Uninitialized)
{
    switch (format) {
    case OutputFormat::Binary:
        m_next = options.binaryBase;
        break;
    case OutputFormat::IntelHex:
        m_hex.emplace(out);
        m_hex->setSkipErased(options.skipErased);
        break;
    case OutputFormat::SRecord:
        m_srecords.emplace(out);
        m_srecords->setSkipErased(options.skipErased);
        m_srecords->begin(options.header);
        break;
    }
}

// What writeImage() would refuse (imageWriteProblem()) and what goes back is left to the whole image.
bool OrderedImageWriter::fits(quint64 address, quint64 end) const
{
    if (m_hasData && address < m_next)
        return false;
    if (m_format == OutputFormat::Binary)
        return address >= m_options.binaryBase && end <= m_options.binaryBase + LargestImageSize;
    return end <= AddressSpaceEnd;
}

bool OrderedImageWriter::add(quint64 address, const quint8 *data, int count)
{
    const quint64 end = address + static_cast<quint64>(count);
    if (!fits(address, end))
        return false;
    if (!hasFailed()) {
        if (m_format == OutputFormat::Binary)
            addBinary(address, reinterpret_cast<const char *>(data), count);
        else
            addRecords(address, reinterpret_cast<const char *>(data), count);
    }
    m_hasData = true;
    m_next = end;
    return true;
}

void OrderedImageWriter::keepError(const QString &error)
{
    if (!m_failed)
        m_error = error;
    m_failed = true;
}

// Binary output: the buffer holds the bytes from m_next - m_used on.
bool OrderedImageWriter::writeBuffer()
{
    SystemError::clear();
    if (m_used > 0 && !m_failed && m_out.write(m_buffer.constData(), m_used) != m_used)
        keepError(SystemError::of(m_out));
    m_used = 0;
    return !hasFailed();
}

void OrderedImageWriter::fillTo(quint64 address)
{
    while (m_next < address && !hasFailed()) {
        const auto length = static_cast<qsizetype>(qMin<quint64>(address - m_next, BufferSize - m_used));
        std::memset(m_buffer.data() + m_used, 0xFF, size_t(length));
        m_used += length;
        m_next += static_cast<quint64>(length);
        if (m_used == BufferSize)
            writeBuffer();
    }
}

void OrderedImageWriter::addBinary(quint64 address, const char *data, qsizetype count)
{
    fillTo(address);
    while (count > 0 && !hasFailed()) {
        const qsizetype length = qMin(count, BufferSize - m_used);
        std::memcpy(m_buffer.data() + m_used, data, size_t(length));
        m_used += length;
        m_next += static_cast<quint64>(length);
        data += length;
        count -= length;
        if (m_used == BufferSize)
            writeBuffer();
    }
}

// Records: the buffer holds a run of data from m_bufferStart, handed to the record writer as one.
bool OrderedImageWriter::handPending()
{
    if (m_used > 0 && !hasFailed()) {
        const QByteArrayView run(m_buffer.constData(), m_used);
        if (m_hex && !m_hex->writeData(m_bufferStart, run))
            keepError(m_hex->errorString());
        if (m_srecords && !m_srecords->writeData(m_bufferStart, run))
            keepError(m_srecords->errorString());
    }
    m_bufferStart += static_cast<quint64>(m_used);
    m_used = 0;
    return !hasFailed();
}

void OrderedImageWriter::addRecords(quint64 address, const char *data, qsizetype count)
{
    if (m_hex && !m_hasData)
        m_hex->begin(static_cast<quint32>(address));
    if (m_used > 0 && m_bufferStart + static_cast<quint64>(m_used) != address)
        handPending();
    if (m_used == 0)
        m_bufferStart = address;
    while (count > 0 && !hasFailed()) {
        const qsizetype length = qMin(count, BufferSize - m_used);
        std::memcpy(m_buffer.data() + m_used, data, size_t(length));
        m_used += length;
        data += length;
        count -= length;
        if (m_used == BufferSize)
            handPending();
    }
}

bool OrderedImageWriter::finish(std::optional<quint32> startAddress)
{
    if (m_format == OutputFormat::Binary)
        return writeBuffer();
    if (!handPending())
        return false;
    if (m_hex && !m_hex->finish(startAddress))
        keepError(m_hex->errorString());
    if (m_srecords && !m_srecords->finish(startAddress))
        keepError(m_srecords->errorString());
    return !hasFailed();
}
