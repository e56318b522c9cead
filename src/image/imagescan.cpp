#include "imagescan.h"

#include <type_traits>

#include "elfreader.h"
#include "filespans.h"
#include "imagelimits.h"
#include "imageloader.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "srecordreader.h"

namespace {

constexpr qint64 BlockSize = 256 * 1024;

// Ranges and data taken as they come, while their addresses rise; anything else is refused.
class RisingData {
public:
    RisingData(ImageScan &scan, const ScanVisitor &visit) : m_scan(scan), m_visit(visit) {}

    bool add(quint64 address, const char *data, qint64 count)
    {
        QList<QPair<quint64, quint64>> &ranges = m_scan.ranges;
        if (!ranges.isEmpty() && address < ranges.last().second)
            return false;
        const quint64 end = address + static_cast<quint64>(count);
        if (!ranges.isEmpty() && address == ranges.last().second)
            ranges.last().second = end;
        else
            ranges.append({address, end});
        m_scan.dataSize += count;
        if (m_visit.data)
            m_visit.data(data, count);
        return true;
    }

private:
    ImageScan &m_scan;
    const ScanVisitor &m_visit;
};

// The input back at `start`, to be read whole; false when it cannot be.
bool rewind(InputFile &input, qint64 start, ImageScan &scan)
{
    if (input.device().seek(start))
        return true;
    scan.errorText =
        QStringLiteral("%1: не удалось прочитать файл: %2").arg(input.path(), input.device().errorString());
    return false;
}

template <typename Reader>
std::optional<ImageScan> scanRecords(InputFile &input, ImageScan scan, const ScanVisitor &visit)
{
    const qint64 start = input.device().pos();
    RisingData rising(scan, visit);
    Reader reader;
    reader.setMemoryLimit(LargestImageSize);
    reader.setDataSink([&rising](quint64 address, const quint8 *data, int count) {
        return rising.add(address, reinterpret_cast<const char *>(data), count);
    });
    const bool read = reader.read(input.device(), input.path());
    if (reader.refused())
        return rewind(input, start, scan) ? std::nullopt : std::optional<ImageScan>(scan);
    if (!read) {
        scan.errorText = recordReadErrorText(reader.error(), input.path());
        return scan;
    }
    scan.fileSize = input.knownSize();
    scan.warnings = reader.diagnostics();
    auto content = reader.takeContent();
    scan.startAddress = content.startAddress;
    if constexpr (std::is_same_v<Reader, SRecordReader>)
        scan.header = content.header;
    return scan;
}

bool readSpans(InputFile &input, const QList<FileSpan> &spans, RisingData &rising)
{
    return readFileSpans(input.device(), spans, BlockSize,
                         [&rising](quint64 address, const char *bytes, qint64 length) {
                             return rising.add(address, bytes, length);
                         });
}

std::optional<ImageScan> scanElf(InputFile &input, ImageScan scan, const ScanVisitor &visit)
{
    const qint64 start = input.device().pos();
    ElfReader reader;
    reader.setMemoryLimit(LargestImageSize);
    reader.setBorrowMapped(true); // the bytes are not used: only where they lie
    if (!reader.read(input))
        return rewind(input, start, scan) ? std::nullopt : std::optional<ImageScan>(scan);
    const ElfContent content = reader.takeContent();
    const std::optional<QList<FileSpan>> spans = content.spansInAddressOrder();
    RisingData rising(scan, visit);
    if (!spans || !readSpans(input, *spans, rising))
        return rewind(input, start, scan) ? std::nullopt : std::optional<ImageScan>(scan);
    scan.fileSize = content.fileSize;
    for (const QString &warning : content.warnings)
        scan.warnings << Problem::warning(warning, input.path());
    scan.startAddress = content.entryPoint;
    return scan;
}

ImageScan scanBinary(InputFile &input, ImageScan scan, const ScanVisitor &visit)
{
    const bool read = input.readInBlocks(LargestImageSize, [&](QByteArrayView block) {
        if (visit.data)
            visit.data(block.data(), block.size());
        scan.fileSize += block.size();
    });
    if (!read)
        scan.errorText = QStringLiteral("%1: %2").arg(input.path(), input.problemText(LargestImageSize));
    scan.dataSize = scan.fileSize;
    return scan;
}

// Read whole, as the image a job would use.
ImageScan scanLoaded(InputFile &input, ImageScan scan, const ScanVisitor &visit)
{
    ImageLoadOptions options;
    options.format = scan.format;
    const LoadedImage loaded = loadImage(input, options);
    if (!loaded.ok()) {
        scan.errorText = loaded.errorText;
        return scan;
    }
    scan.fileSize = loaded.fileSize;
    scan.warnings = loaded.warnings;
    scan.startAddress = loaded.startAddress;
    scan.header = loaded.header;
    scan.dataSize = loaded.image.dataSize();
    scan.ranges = loaded.image.spans();
    if (visit.data)
        for (const auto &range : loaded.image.ranges())
            visit.data(range.bytes.constData(), range.bytes.size());
    return scan;
}

std::optional<ImageScan> scanInOneGo(InputFile &input, const ImageScan &scan, const ScanVisitor &visit)
{
    switch (scan.format) {
    case InputFormat::IntelHex:
        return scanRecords<IntelHexReader>(input, scan, visit);
    case InputFormat::SRecord:
        return scanRecords<SRecordReader>(input, scan, visit);
    case InputFormat::Elf:
        return scanElf(input, scan, visit);
    case InputFormat::Empty:
    case InputFormat::Binary:
        break;
    }
    return std::nullopt;
}

} // namespace

ImageScan scanImageFile(const QString &path, const ScanVisitor &visit)
{
    ImageScan scan;
    InputFile input(path);
    if (!input.open()) {
        scan.errorText = QStringLiteral("%1: %2").arg(path, input.problemText());
        return scan;
    }
    scan.format = detectInputFormat(input.device());
    if (scan.format == InputFormat::Binary || scan.format == InputFormat::Empty)
        return scanBinary(input, scan, visit);
    if (input.isRereadable()) {
        if (std::optional<ImageScan> scanned = scanInOneGo(input, scan, visit))
            return *std::move(scanned);
        if (visit.restart)
            visit.restart();
    }
    return scanLoaded(input, scan, visit);
}
