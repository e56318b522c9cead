#include "srecordwriter.h"

#include <QIODevice>

#include "recordoutput.h"
#include "srecord.h"

namespace {

// Small enough to stay in the cache, large enough to keep write calls few.
constexpr qsizetype FlushThreshold = 64 * 1024;
constexpr qsizetype LongestLine = sRecordLineLength(4, SRecordLayout::MaximumCount - 5);

bool allErased(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<quint8>(data[i]) != 0xFF)
            return false;
    return true;
}

} // namespace

SRecordWriter::SRecordWriter(QIODevice &out)
    : m_out(out), m_buffer(FlushThreshold + 4 * LongestLine, Qt::Uninitialized)
{}

bool SRecordWriter::begin(QByteArrayView header)
{
    // The header shares a record with its address and checksum.
    const QByteArrayView text = header.first(qMin<qsizetype>(header.size(), SRecordLayout::MaximumCount - 3));
    m_used = formatSRecordLine(m_buffer.data() + m_used, SRecordType::Header, 0, text.data(), text.size()) -
             m_buffer.constData();
    return true;
}

bool SRecordWriter::writeData(quint64 address, QByteArrayView bytes)
{
    Q_ASSERT(address + static_cast<quint64>(bytes.size()) <= Q_UINT64_C(0x100000000));
    const qsizetype size = bytes.size();
    for (qsizetype position = 0; position < size; position += SRecordLayout::DataBytesPerRecord) {
        const qsizetype length = qMin<qsizetype>(SRecordLayout::DataBytesPerRecord, size - position);
        const char *block = bytes.data() + position;
        if (m_skipErased && allErased(block, length))
            continue;
        m_used =
            formatSRecordLine(m_buffer.data() + m_used, SRecordType::Data32,
                              static_cast<quint32>(address + static_cast<quint64>(position)), block, length) -
            m_buffer.constData();
        ++m_dataRecords;
        if (m_used >= FlushThreshold && !flush())
            return false;
    }
    return true;
}

bool SRecordWriter::finish(std::optional<quint32> startAddress)
{
    char *out = m_buffer.data() + m_used;
    if (m_dataRecords <= 0xFFFF)
        out = formatSRecordLine(out, SRecordType::Count16, static_cast<quint32>(m_dataRecords), nullptr, 0);
    else if (m_dataRecords <= 0xFFFFFF)
        out = formatSRecordLine(out, SRecordType::Count24, static_cast<quint32>(m_dataRecords), nullptr, 0);
    if (startAddress)
        out = formatSRecordLine(out, SRecordType::Start32, *startAddress, nullptr, 0);
    m_used = out - m_buffer.constData();
    return flush();
}

bool SRecordWriter::flush()
{
    return writeRecordBuffer(m_out, m_buffer, m_used, m_error);
}
