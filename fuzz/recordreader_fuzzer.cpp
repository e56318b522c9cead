// libFuzzer target: any bytes through the reading path of every job: the format decision, the
// Intel HEX and S-record readers, the memory image, the writers and the join.
// - An input that reads cleanly as Intel HEX or S-records, with at least one record, is decided to
//   be that format; an input decided to be one that fails to read fails on a line it names.
// - Whatever reads cleanly is written back as Intel HEX and read again; the second reading must hold
//   the same bytes (erased 0xFF blocks may be left out, as the writer skips them).
// - Joined with itself, it gives a text that holds the same bytes, each address once, and never
//   leaves a segment and a linear base in force together (GNU objcopy would add them).
// - Whatever reads cleanly as S-records is written back as S-records and read again without a
//   warning: the same bytes at the same addresses, the same start address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include <QBuffer>

#include "inputformat.h"
#include "intelhexreader.h"
#include "intelhexwriter.h"
#include "joinedhexwriter.h"
#include "memoryimage.h"
#include "srecordreader.h"
#include "srecordwriter.h"

namespace {

std::optional<IntelHexContent> readContent(const QByteArray &text, int *errorLine = nullptr)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    IntelHexReader reader;
    if (!reader.read(buffer, QStringLiteral("fuzz.hex"))) {
        if (errorLine)
            *errorLine = reader.error()->line;
        return std::nullopt;
    }
    return reader.takeContent();
}

std::optional<MemoryImage> imageOf(const IntelHexContent &content)
{
    std::optional<MemoryImage::Conflict> conflict;
    MemoryImage image = MemoryImage::fromChunks(content.chunks, &conflict);
    if (conflict)
        return std::nullopt;
    return image;
}

qint64 countNotErased(const MemoryImage &image)
{
    qint64 count = 0;
    for (const MemoryImage::Range &range : image.ranges())
        for (char byte : range.bytes)
            count += static_cast<quint8>(byte) != 0xFF;
    return count;
}

bool holds(const MemoryImage &image, quint64 address, char value)
{
    for (const MemoryImage::Range &range : image.ranges())
        if (address >= range.start && address < range.end())
            return range.bytes.at(static_cast<qsizetype>(address - range.start)) == value;
    return false;
}

// Whether anything but line ends follows the byte order mark: a file of records, not an empty one.
bool holdsALine(const QByteArray &text)
{
    for (qsizetype i = text.startsWith("\xEF\xBB\xBF") ? 3 : 0; i < text.size(); ++i)
        if (text.at(i) != '\r' && text.at(i) != '\n')
            return true;
    return false;
}

// What the format decision promises of a record format `which` and the reading of the text as it.
void checkDecision(InputFormat format, InputFormat which, bool readCleanly, int errorLine,
                   const QByteArray &text)
{
    if (readCleanly && holdsALine(text) && format != which)
        std::abort();
    if (format == which && !readCleanly && errorLine <= 0)
        std::abort();
}

// Every data record of the joined text is read alike by readers that replace one base by the other
// and by objcopy, which adds them.
bool basesNeverMix(const QByteArray &text)
{
    bool segmentSet = false;
    bool linearSet = false;
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray record = line.endsWith('\r') ? line.chopped(1) : line;
        if (record.isEmpty())
            continue;
        DecodedRecordLine decoded;
        if (!checkRecordLine(record.constData(), record.size(), decoded).isEmpty())
            return false;
        if (decoded.type() == IntelHexRecordType::ExtendedSegmentAddress)
            segmentSet = decoded.value() != 0;
        else if (decoded.type() == IntelHexRecordType::ExtendedLinearAddress)
            linearSet = decoded.value() != 0;
        else if (decoded.type() == IntelHexRecordType::Data && segmentSet && linearSet)
            return false;
    }
    return true;
}

void checkWriterRoundTrip(const MemoryImage &image)
{
    QBuffer written;
    written.open(QIODevice::WriteOnly);
    IntelHexWriter writer(written);
    if (!image.isEmpty())
        writer.begin(static_cast<quint32>(image.lowestAddress()));
    for (const MemoryImage::Range &range : image.ranges())
        writer.writeData(range.start, range.bytes);
    writer.finish();

    const std::optional<IntelHexContent> content = readContent(written.data());
    const std::optional<MemoryImage> again = content ? imageOf(*content) : std::nullopt;
    if (!again || countNotErased(*again) != countNotErased(image) || !basesNeverMix(written.data()))
        std::abort();
    for (const MemoryImage::Range &range : again->ranges())
        for (qsizetype i = 0; i < range.bytes.size(); ++i)
            if (!holds(image, range.start + static_cast<quint64>(i), range.bytes.at(i)))
                std::abort();
}

void checkJoinWithItself(const IntelHexContent &content, const MemoryImage &image)
{
    QByteArray joined;
    JoinedHexWriter writer(
        [&joined](QByteArrayView block) {
            joined.append(block.data(), block.size());
            return true;
        },
        content.lineEnd.isEmpty() ? QByteArray("\r\n") : content.lineEnd);
    if (!writer.addPiece(content) || !writer.addPiece(content) || !writer.finish())
        std::abort();
    const std::optional<IntelHexContent> again = readContent(joined);
    const std::optional<MemoryImage> image2 = again ? imageOf(*again) : std::nullopt;
    // Each address once: as many data bytes in the text as addresses holding data.
    if (!image2 || again->dataBytes != image.dataSize() || image2->dataSize() != image.dataSize() ||
        !basesNeverMix(joined))
        std::abort();
    for (const MemoryImage::Range &range : image2->ranges())
        for (qsizetype i = 0; i < range.bytes.size(); ++i)
            if (!holds(image, range.start + static_cast<quint64>(i), range.bytes.at(i)))
                std::abort();
}

std::optional<SRecordContent> readSRecords(const QByteArray &text, int *errorLine = nullptr,
                                           bool *warned = nullptr)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    SRecordReader reader;
    if (!reader.read(buffer, QStringLiteral("fuzz.srec"))) {
        if (errorLine)
            *errorLine = reader.error()->line;
        return std::nullopt;
    }
    if (warned)
        *warned = !reader.diagnostics().isEmpty();
    return reader.takeContent();
}

void checkSRecords(const QByteArray &text, InputFormat format)
{
    int errorLine = 0;
    std::optional<SRecordContent> content = readSRecords(text, &errorLine);
    checkDecision(format, InputFormat::SRecord, content.has_value(), errorLine, text);
    if (!content)
        return;
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(content->chunks, &conflict);
    if (conflict)
        return;

    QBuffer written;
    written.open(QIODevice::WriteOnly);
    SRecordWriter writer(written);
    writer.begin(content->header);
    for (const MemoryImage::Range &range : image.ranges())
        writer.writeData(range.start, range.bytes);
    writer.finish(content->startAddress);

    bool warned = false;
    const std::optional<SRecordContent> again = readSRecords(written.data(), nullptr, &warned);
    if (!again || warned || again->startAddress != content->startAddress)
        std::abort();
    const MemoryImage image2 = MemoryImage::fromChunks(again->chunks, &conflict);
    if (conflict || image2.dataSize() != image.dataSize() || image2.spans() != image.spans())
        std::abort();
    for (const MemoryImage::Range &range : image2.ranges())
        for (qsizetype i = 0; i < range.bytes.size(); ++i)
            if (!holds(image, range.start + static_cast<quint64>(i), range.bytes.at(i)))
                std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QByteArray copy = text;
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    const InputFormat format = detectInputFormat(device);
    if (format != detectInputFormat(text) || device.pos() != 0)
        std::abort();

    checkSRecords(text, format);

    int errorLine = 0;
    const std::optional<IntelHexContent> content = readContent(text, &errorLine);
    checkDecision(format, InputFormat::IntelHex, content.has_value(), errorLine, text);
    if (!content)
        return 0;
    const std::optional<MemoryImage> image = imageOf(*content);
    if (!image)
        return 0;
    (void)image->spans();
    checkWriterRoundTrip(*image);
    checkJoinWithItself(*content, *image);
    return 0;
}
