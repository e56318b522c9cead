#include "srecordreader.h"

#include "recordlines.h"
#include "srecord.h"

std::optional<Problem> SRecordReader::error() const
{
    return firstError(m_diagnostics);
}

bool SRecordReader::fail(int line, const QString &message)
{
    m_diagnostics.append(Problem::error(message, m_fileName, line));
    return false;
}

bool SRecordReader::addData(quint64 address, const quint8 *data, int count, int line)
{
    if (m_collector.add(address, data, count, line))
        return true;
    return m_collector.refused() ? false : fail(line, m_collector.limitText());
}

bool SRecordReader::read(QIODevice &device, const QString &fileName, JobRun *run)
{
    m_content = {};
    m_diagnostics.clear();
    m_fileName = fileName;
    m_collector.reset();
    // Every data byte takes two digits of the text.
    m_collector.setExpectedDataSize(device.isSequential() ? 0 : (device.size() - device.pos()) / 2);
    m_headerSeen = false;

    RecordLineReader lines(device, SRecordLayout::MaximumLineLength);
    lines.setBlockObserver(m_observer);
    const RecordLineReader::Outcome outcome = lines.read(
        [this](const RecordLine &line) {
            if (!parseLine(line.text, line.length, line.number))
                return RecordLineReader::Step::Fail;
            return m_content.hasTermination ? RecordLineReader::Step::Stop : RecordLineReader::Step::Continue;
        },
        run);
    m_content.chunks = std::move(m_collector.chunks());
    m_content.dataBytes = m_collector.dataBytes();
    m_content.lineCount = lines.lineCount();
    switch (outcome) {
    case RecordLineReader::Outcome::Failed:
        return false;
    case RecordLineReader::Outcome::ReadError:
    case RecordLineReader::Outcome::LineTooLong:
    case RecordLineReader::Outcome::TooManyLines:
    case RecordLineReader::Outcome::Cancelled: {
        const Problem problem = lines.problem(outcome);
        return fail(problem.line, problem.message);
    }
    case RecordLineReader::Outcome::Ended:
    case RecordLineReader::Outcome::Stopped:
        break;
    }
    // Many tools end a file without a start address by its count record alone; a file with neither
    // may have lost its tail.
    if (!m_content.hasTermination && !m_content.hasCount)
        m_diagnostics.append(Problem::warning(
            QStringLiteral("файл не завершается ни записью счётчика (S5, S6), ни завершающей "
                           "записью (S7, S8, S9); данные прочитаны до конца файла"),
            m_fileName));
    return true;
}

bool SRecordReader::parseLine(const char *text, qsizetype length, int lineNumber)
{
    if (length == 0)
        return true;
    DecodedSRecord record;
    const QString problem = checkSRecordLine(text, length, record);
    if (!problem.isEmpty())
        return fail(lineNumber, problem);

    switch (record.type) {
    case SRecordType::Header:
        if (!m_headerSeen)
            m_content.header = QByteArray(reinterpret_cast<const char *>(record.data()), record.dataLength());
        m_headerSeen = true;
        return true;
    case SRecordType::Data16:
    case SRecordType::Data24:
    case SRecordType::Data32:
        ++m_content.dataRecords;
        return addData(record.address(), record.data(), record.dataLength(), lineNumber);
    case SRecordType::Count16:
    case SRecordType::Count24: {
        // A field of 16 or 24 bits: a file of more records than it can count carries the low bits.
        const quint32 mask = record.type == SRecordType::Count16 ? 0xFFFFu : 0xFFFFFFu;
        if (record.address() != (static_cast<quint32>(m_content.dataRecords) & mask))
            return fail(lineNumber,
                        QStringLiteral("запись счётчика называет %1 записей данных, а до неё в файле "
                                       "%2")
                            .arg(record.address())
                            .arg(m_content.dataRecords));
        m_content.hasCount = true;
        return true;
    }
    case SRecordType::Start32:
    case SRecordType::Start24:
    case SRecordType::Start16:
        m_content.startAddress = record.address();
        m_content.hasTermination = true;
        return true;
    }
    return true;
}
