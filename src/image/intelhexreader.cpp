#include "intelhexreader.h"

#include "recordlines.h"

namespace {

constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);
// What holding one more address record costs besides its value (the list entry).
constexpr qint64 ControlRecordCost = 16;

} // namespace

std::optional<Problem> IntelHexReader::error() const
{
    return firstError(m_diagnostics);
}

bool IntelHexReader::fail(int line, const QString &message)
{
    m_diagnostics.append(Problem::error(message, m_fileName, line));
    return false;
}

bool IntelHexReader::addData(quint64 address, const quint8 *data, int count, int line)
{
    if (m_collector.add(address, data, count, line))
        return true;
    return m_collector.refused() ? false : fail(line, m_collector.limitText());
}

bool IntelHexReader::read(QIODevice &device, const QString &fileName, JobRun *run)
{
    m_content = {};
    m_diagnostics.clear();
    m_fileName = fileName;
    m_base = 0;
    m_collector.reset();
    // Every data byte takes two digits of the text.
    m_collector.setExpectedDataSize(device.isSequential() ? 0 : (device.size() - device.pos()) / 2);

    RecordLineReader lines(device, IntelHexLayout::MaximumLineLength);
    lines.setBlockObserver(m_observer);
    const RecordLineReader::Outcome outcome = lines.read(
        [this](const RecordLine &line) {
            if (!parseLine(line))
                return RecordLineReader::Step::Fail;
            return m_content.hasEndOfFile ? RecordLineReader::Step::Stop : RecordLineReader::Step::Continue;
        },
        run);
    m_content.chunks = std::move(m_collector.chunks());
    m_content.dataBytes = m_collector.dataBytes();
    m_content.lowestAddress = m_collector.lowestAddress();
    m_content.textStart = lines.textStart();
    m_content.lineEnd = lines.lineEnd();
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
        m_diagnostics.append(Problem::warning(QStringLiteral("нет записи конца файла (:00000001FF); "
                                                             "данные прочитаны до конца файла"),
                                              m_fileName));
        break;
    case RecordLineReader::Outcome::Stopped:
        break;
    }
    return true;
}

bool IntelHexReader::parseLine(const RecordLine &line)
{
    if (line.length == 0)
        return true;

    DecodedRecordLine record;
    const QString problem = checkRecordLine(line.text, line.length, record);
    if (!problem.isEmpty())
        return fail(line.number, problem);

    const int count = record.count();
    const quint8 *data = record.data();
    switch (record.type()) {
    case IntelHexRecordType::Data: {
        const quint64 absolute = m_base + record.address();
        if (absolute + static_cast<quint64>(count) > AddressSpaceEnd)
            return fail(line.number, QStringLiteral("данные выходят за 32-битное адресное пространство"));
        return addData(absolute, data, count, line.number);
    }
    case IntelHexRecordType::EndOfFile:
        m_content.hasEndOfFile = true;
        m_content.endOfFileStart = line.offset;
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
    if (!m_collector.keepsData())
        return true;
    // Data handed on as it is read is written again without its address records.
    if (!m_collector.hasSink())
        m_content.controlRecords.append({record.type(), record.value(), m_collector.chunks().size()});
    return m_collector.account(ControlRecordCost) || fail(line.number, m_collector.limitText());
}
