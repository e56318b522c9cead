#include "imageinfo.h"

#include <type_traits>

#include "crc32.h"
#include "elfreader.h"
#include "hextext.h"
#include "imageloader.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "sha256.h"
#include "srecordreader.h"

namespace {

QString rangeLine(const char *key, quint64 start, quint64 end)
{
    return QStringLiteral("%1: %2-%3 (%4 bytes)")
        .arg(QLatin1String(key), HexText::address(start), HexText::address(end - 1))
        .arg(end - start);
}

// The header's text as it can be shown on one line: printable ASCII as it is, anything else as \xNN.
QString printableText(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x") + HexText::digits(byte, 2);
    }
    return text;
}

// A binary is its data: its size and digests come from reading it block by block, so a large image
// never has to sit in memory for them.
Result<ImageInfo> inspectBinary(InputFile &input, const QString &path)
{
    ImageInfo info;
    info.path = path;
    info.format = InputFormat::Binary;
    Sha256 sha;
    Crc32 crc;
    const bool read = input.readInBlocks(LargestImageSize, [&](QByteArrayView block) {
        sha.addData(block.data(), block.size());
        crc.addData(block.data(), block.size());
        info.fileSize += block.size();
    });
    if (!read)
        return Failure(
            Problem::error(QStringLiteral("%1: %2").arg(path, input.problemText(LargestImageSize))));
    info.dataSize = info.fileSize;
    info.sha256 = sha.result();
    info.crc32 = crc.result();
    return info;
}

Result<ImageInfo> inspectLoaded(const LoadedImage &loaded, const QString &path)
{
    if (!loaded.ok())
        return Failure(Problem::error(loaded.errorText));
    ImageInfo info;
    info.path = path;
    info.format = loaded.format;
    info.fileSize = loaded.fileSize;
    info.warnings = loaded.warnings;
    info.startAddress = loaded.startAddress;
    info.header = loaded.header;
    Sha256 sha;
    Crc32 crc;
    for (const MemoryImage::Range &range : loaded.image.ranges()) {
        sha.addData(range.bytes);
        crc.addData(range.bytes);
    }
    info.dataSize = loaded.image.dataSize();
    info.ranges = loaded.image.spans();
    info.sha256 = sha.result();
    info.crc32 = crc.result();
    return info;
}

// The data of a record file summed as it is read, while its addresses rise; anything else is
// refused, to be held whole.
struct RunningSums {
    Sha256 sha;
    Crc32 crc;
    QList<QPair<quint64, quint64>> ranges;
    qint64 dataSize = 0;

    bool add(quint64 address, const quint8 *data, int count)
    {
        if (!ranges.isEmpty() && address < ranges.last().second)
            return false;
        const quint64 end = address + static_cast<quint64>(count);
        if (!ranges.isEmpty() && address == ranges.last().second)
            ranges.last().second = end;
        else
            ranges.append({address, end});
        sha.addData(reinterpret_cast<const char *>(data), count);
        crc.addData(reinterpret_cast<const char *>(data), count);
        dataSize += count;
        return true;
    }
};

// A record file in address order needs no image: its ranges and sums come as it is read. Nothing
// when its data goes back or overlaps; the input is then back at its start.
template <typename Reader>
std::optional<Result<ImageInfo>> inspectInOrder(InputFile &input, const QString &path, InputFormat format)
{
    const qint64 start = input.device().pos();
    RunningSums sums;
    Reader reader;
    reader.setMemoryLimit(LargestImageSize);
    reader.setDataSink(
        [&sums](quint64 address, const quint8 *data, int count) { return sums.add(address, data, count); });
    const bool read = reader.read(input.device(), path);
    if (reader.refused()) {
        if (input.device().seek(start))
            return std::nullopt;
        return Failure(Problem::error(
            QStringLiteral("%1: не удалось прочитать файл: %2").arg(path, input.device().errorString())));
    }
    if (!read)
        return Failure(Problem::error(recordReadErrorText(reader.error(), path)));
    ImageInfo info;
    info.path = path;
    info.format = format;
    info.fileSize = input.knownSize();
    info.warnings = reader.diagnostics();
    auto content = reader.takeContent();
    info.startAddress = content.startAddress;
    if constexpr (std::is_same_v<Reader, SRecordReader>)
        info.header = content.header;
    info.dataSize = sums.dataSize;
    info.ranges = sums.ranges;
    info.sha256 = sums.sha.result();
    info.crc32 = sums.crc.result();
    return info;
}

// Sums the runs of an ELF file, read from the file through one small block.
bool sumSpans(InputFile &input, const QList<FileSpan> &spans, RunningSums &sums)
{
    constexpr qint64 BlockSize = 256 * 1024;
    QByteArray block(BlockSize, Qt::Uninitialized);
    for (const FileSpan &span : spans) {
        if (!input.device().seek(span.fileOffset))
            return false;
        for (qint64 at = 0; at < span.length;) {
            const qint64 want = qMin(BlockSize, span.length - at);
            if (input.device().read(block.data(), want) != want)
                return false;
            sums.add(span.address + static_cast<quint64>(at), reinterpret_cast<const quint8 *>(block.data()),
                     static_cast<int>(want));
            at += want;
        }
    }
    return true;
}

// An ELF file whose sections do not overlap needs no image either: its sections are summed from
// the file in address order.
std::optional<Result<ImageInfo>> inspectElf(InputFile &input, const QString &path)
{
    const qint64 start = input.device().pos();
    ElfReader reader;
    reader.setMemoryLimit(LargestImageSize);
    reader.setBorrowMapped(true); // the bytes are not used: only where they lie
    std::optional<QList<FileSpan>> spans;
    ElfContent content;
    if (reader.read(input)) {
        content = reader.takeContent();
        spans = content.spansInAddressOrder();
    }
    RunningSums sums;
    if (!spans || !sumSpans(input, *spans, sums)) {
        if (input.device().seek(start))
            return std::nullopt;
        return Failure(Problem::error(
            QStringLiteral("%1: не удалось прочитать файл: %2").arg(path, input.device().errorString())));
    }
    ImageInfo info;
    info.path = path;
    info.format = InputFormat::Elf;
    info.fileSize = content.fileSize;
    for (const QString &warning : std::as_const(content.warnings))
        info.warnings << Problem::warning(warning, path);
    info.startAddress = content.entryPoint;
    info.dataSize = sums.dataSize;
    info.ranges = sums.ranges;
    info.sha256 = sums.sha.result();
    info.crc32 = sums.crc.result();
    return info;
}

std::optional<Result<ImageInfo>> inspectStreamed(InputFile &input, const QString &path, InputFormat format)
{
    if (!input.isRereadable())
        return std::nullopt;
    if (format == InputFormat::IntelHex)
        return inspectInOrder<IntelHexReader>(input, path, format);
    if (format == InputFormat::SRecord)
        return inspectInOrder<SRecordReader>(input, path, format);
    if (format == InputFormat::Elf)
        return inspectElf(input, path);
    return std::nullopt;
}

} // namespace

Result<ImageInfo> inspectImage(const QString &path)
{
    InputFile input(path);
    if (!input.open())
        return Failure(Problem::error(QStringLiteral("%1: %2").arg(path, input.problemText())));
    const InputFormat format = detectInputFormat(input.device());
    // An empty file, like any that does not start with a record, is binary.
    if (format == InputFormat::Binary || format == InputFormat::Empty)
        return inspectBinary(input, path);
    if (auto streamed = inspectStreamed(input, path, format))
        return *std::move(streamed);
    ImageLoadOptions options;
    options.format = format;
    return inspectLoaded(loadImage(input, options), path);
}

QStringList ImageInfo::lines() const
{
    QStringList out;
    out << QStringLiteral("file: %1").arg(path);
    out << QStringLiteral("format: %1").arg(inputFormatName(format));
    out << QStringLiteral("size: %1").arg(fileSize);
    if (hasAddresses()) {
        if (format == InputFormat::SRecord)
            out << QStringLiteral("header: %1").arg(printableText(header));
        out << QStringLiteral("data: %1").arg(dataSize);
        out << QStringLiteral("ranges: %1 (inclusive, hex)").arg(ranges.size());
        for (qsizetype i = 0; i < ranges.size(); ++i) {
            if (i > 0)
                out << rangeLine("gap", ranges.at(i - 1).second, ranges.at(i).first);
            out << rangeLine("range", ranges.at(i).first, ranges.at(i).second);
        }
        out << QStringLiteral("start: %1")
                   .arg(startAddress ? HexText::address(*startAddress) : QStringLiteral("none"));
    }
    out << QStringLiteral("sha256: %1").arg(QString::fromLatin1(sha256.toHex()));
    out << QStringLiteral("crc32: %1").arg(HexText::address(crc32));
    out << QStringLiteral("checksums-of: %1")
               .arg(hasAddresses() ? QStringLiteral("the data bytes in address order, gaps not included")
                                   : QStringLiteral("the whole file"));
    return out;
}
