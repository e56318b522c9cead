#pragma once

#include <cstring>
#include <functional>
#include <limits>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include "jobrun.h"
#include "problem.h"
#include "systemerror.h"

// One line of a record file (Intel HEX, Motorola S-records), its line end cut.
struct RecordLine {
    const char *text = nullptr;
    qsizetype length = 0;
    int number = 0;    // 1-based
    qint64 offset = 0; // of the line's first character in the input (after a byte order mark)
};

// Reads a record file line by line from a device, to its end or until the handler stops: lines end
// in LF, CR LF or CR, a UTF-8 byte order mark before the first line is left out, and the device is read
// in large blocks, so that a line split between two reads is the only text ever copied. A line
// that keeps growing past what any record can hold stops reading: the input is no record file.
class RecordLineReader {
public:
    enum class Step { Continue, Stop, Fail };
    enum class Outcome {
        Ended,       // the input ended
        Stopped,     // the handler said Stop
        Failed,      // the handler said Fail
        ReadError,   // the device refused a read (errorString() of the device says why)
        LineTooLong, // line lineCount() + 1 grows past the longest record
        TooManyLines,
        Cancelled, // the run was cancelled
    };

    RecordLineReader(QIODevice &device, qsizetype longestLine) : m_device(device), m_longestLine(longestLine)
    {}

    // Sees every block read from the device, e.g. to hash the input while it is read.
    void setBlockObserver(std::function<void(QByteArrayView)> observer) { m_observer = std::move(observer); }

    // `handle(const RecordLine &)` returns a Step. The run, when there is one, gets (bytes read, size)
    // and is asked for a cancel after every block.
    template <typename Handler> Outcome read(Handler &&handle, JobRun *run);

    // Why reading stopped after ReadError, LineTooLong or TooManyLines, as every record reader says it:
    // the line it concerns (0: the file as a whole) and the message; the reader names the file.
    Problem problem(Outcome outcome) const
    {
        switch (outcome) {
        case Outcome::ReadError:
            return Problem::error(QStringLiteral("не удалось прочитать файл: %1").arg(m_readError));
        case Outcome::LineTooLong:
            return Problem::error(QStringLiteral("строка длиннее любой записи"), QString(), m_lineCount + 1);
        case Outcome::TooManyLines:
            return Problem::error(QStringLiteral("в файле больше строк, чем можно сосчитать"));
        case Outcome::Cancelled:
            return JobRun::cancelledProblem();
        default:
            return {};
        }
    }

    int lineCount() const { return m_lineCount; }
    // The first line end met ("\r\n", "\n" or "\r"); empty when no line ended.
    QByteArray lineEnd() const { return m_lineEnd; }
    // Where the text proper begins: 3 after a byte order mark, else 0.
    qint64 textStart() const { return m_textStart; }

private:
    static constexpr qint64 ReadBlockSize = 256 * 1024;
    static constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
    static constexpr qsizetype ByteOrderMarkLength = 3;

    // The last report of a read that went to its end or was stopped by its handler.
    static Outcome finish(JobRun *run, qint64 consumed, qint64 total, Outcome outcome)
    {
        if (run && outcome != Outcome::Failed)
            run->setProgress(consumed, qMax(total, consumed));
        return outcome;
    }
    // What one block leaves for the next.
    struct Carry {
        QByteArray partialLine; // a line split between two reads
        qint64 partialLineOffset = 0;
        // The last line ended in a CR that was the last byte read: a LF first in the next block is
        // the rest of its CR LF, not an empty line.
        bool carriageReturnEndedBlock = false;
        bool firstLineEndUnsure = false; // that CR is the first line end met
    };

    template <typename Handler>
    Step deliver(Handler &handle, const char *text, qsizetype length, qint64 offset);
    // Hands the lines that end in one block to `handle`, keeping the unfinished last one in `carry`;
    // an outcome when reading stops inside the block.
    template <typename Handler>
    std::optional<Outcome> splitBlock(Handler &handle, const char *data, qsizetype got, qint64 blockOffset,
                                      Carry &carry);
    void noteLineEnd(const char *lineEnd);
    // Notes how the line ending at `end` of the block ends, and gives where the next one starts.
    qsizetype endLine(const char *data, qsizetype end, qsizetype got, bool atCarriageReturn, Carry &carry);

    QIODevice &m_device;
    qsizetype m_longestLine;
    std::function<void(QByteArrayView)> m_observer;
    int m_lineCount = 0;
    QByteArray m_lineEnd;
    qint64 m_textStart = 0;
    QString m_readError;
};

template <typename Handler>
RecordLineReader::Step RecordLineReader::deliver(Handler &handle, const char *text, qsizetype length,
                                                 qint64 offset)
{
    ++m_lineCount;
    if (m_lineCount == 1 && length >= ByteOrderMarkLength &&
        std::memcmp(text, ByteOrderMark, ByteOrderMarkLength) == 0) {
        text += ByteOrderMarkLength;
        length -= ByteOrderMarkLength;
        offset += ByteOrderMarkLength;
        m_textStart = ByteOrderMarkLength;
    }
    return handle(RecordLine{text, length, m_lineCount, offset});
}

inline void RecordLineReader::noteLineEnd(const char *lineEnd)
{
    if (m_lineEnd.isEmpty())
        m_lineEnd = lineEnd;
}

inline qsizetype RecordLineReader::endLine(const char *data, qsizetype end, qsizetype got,
                                           bool atCarriageReturn, Carry &carry)
{
    const qsizetype next = end + 1;
    if (!atCarriageReturn) {
        noteLineEnd("\n");
        return next;
    }
    if (next < got && data[next] == '\n') {
        noteLineEnd("\r\n");
        return next + 1;
    }
    carry.firstLineEndUnsure = m_lineEnd.isEmpty() && next == got;
    noteLineEnd("\r");
    carry.carriageReturnEndedBlock = next == got;
    return next;
}

template <typename Handler>
std::optional<RecordLineReader::Outcome> RecordLineReader::splitBlock(Handler &handle, const char *data,
                                                                      qsizetype got, qint64 blockOffset,
                                                                      Carry &carry)
{
    const char *blockEnd = data + got;
    qsizetype start = 0;
    if (carry.carriageReturnEndedBlock && data[0] == '\n') {
        start = 1;
        if (carry.firstLineEndUnsure)
            m_lineEnd = "\r\n";
    }
    carry.carriageReturnEndedBlock = false;
    carry.firstLineEndUnsure = false;
    // Lines end in LF, CR LF or a lone CR (as srec_cat's and objcopy's readers take them); the next
    // LF is looked up once, not once per line.
    const char *lineFeed = nullptr;
    while (start < got) {
        if (!lineFeed || lineFeed < data + start) {
            lineFeed = static_cast<const char *>(std::memchr(data + start, '\n', size_t(got - start)));
            if (!lineFeed)
                lineFeed = blockEnd;
        }
        const auto *carriageReturn =
            static_cast<const char *>(std::memchr(data + start, '\r', size_t(lineFeed - (data + start))));
        const char *lineEnd = carriageReturn ? carriageReturn : lineFeed;
        if (lineEnd == blockEnd) {
            if (carry.partialLine.isEmpty())
                carry.partialLineOffset = blockOffset + start;
            carry.partialLine.append(data + start, got - start);
            if (carry.partialLine.size() > m_longestLine + ByteOrderMarkLength)
                return Outcome::LineTooLong;
            return std::nullopt;
        }
        const qsizetype end = lineEnd - data;
        if (m_lineCount == std::numeric_limits<int>::max() - 1)
            return Outcome::TooManyLines;
        const qsizetype next = endLine(data, end, got, carriageReturn != nullptr, carry);
        Step step;
        if (carry.partialLine.isEmpty()) {
            step = deliver(handle, data + start, end - start, blockOffset + start);
        } else {
            carry.partialLine.append(data + start, end - start);
            step = deliver(handle, carry.partialLine.constData(), carry.partialLine.size(),
                           carry.partialLineOffset);
            carry.partialLine.clear();
        }
        if (step != Step::Continue)
            return step == Step::Stop ? Outcome::Stopped : Outcome::Failed;
        start = next;
    }
    return std::nullopt;
}

template <typename Handler> RecordLineReader::Outcome RecordLineReader::read(Handler &&handle, JobRun *run)
{
    m_lineCount = 0;
    m_lineEnd.clear();
    m_textStart = 0;
    // Pipes and files that report no size are read to their end all the same.
    const qint64 total = m_device.isSequential() ? 0 : qMax<qint64>(0, m_device.size() - m_device.pos());
    // Small inputs get a small buffer; large ones are read in blocks that stay warm in the cache.
    const qint64 blockSize = total > 0 ? qBound<qint64>(4096, total + 1, ReadBlockSize) : ReadBlockSize;
    QByteArray block(blockSize, Qt::Uninitialized);
    Carry carry;
    qint64 consumed = 0;
    for (;;) {
        SystemError::clear();
        const qint64 got = m_device.read(block.data(), block.size());
        if (got < 0) {
            m_readError = SystemError::of(m_device);
            return Outcome::ReadError;
        }
        if (got == 0)
            break;
        if (m_observer)
            m_observer(QByteArrayView(block.constData(), got));
        const qint64 blockOffset = consumed;
        consumed += got;
        // Only a read its handler stopped gets a last report; failures and limits get none.
        if (const std::optional<Outcome> stop =
                splitBlock(handle, block.constData(), got, blockOffset, carry))
            return *stop == Outcome::Stopped ? finish(run, consumed, total, *stop) : *stop;
        if (run) {
            run->setProgress(consumed, total);
            if (run->isCancelled())
                return Outcome::Cancelled;
        }
    }
    if (!carry.partialLine.isEmpty()) {
        const Step step =
            deliver(handle, carry.partialLine.constData(), carry.partialLine.size(), carry.partialLineOffset);
        if (step != Step::Continue)
            return finish(run, consumed, total, step == Step::Stop ? Outcome::Stopped : Outcome::Failed);
    }
    return finish(run, consumed, total, Outcome::Ended);
}
