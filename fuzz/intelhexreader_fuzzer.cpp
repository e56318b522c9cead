// libFuzzer target: any bytes through the Intel HEX reader and the memory image. Whatever reads
// cleanly is written back as Intel HEX and read again; the second reading must hold the same
// bytes (erased 0xFF blocks may be left out, as the writer skips them).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include <QBuffer>

#include "hex/intelhexreader.h"
#include "hex/intelhexwriter.h"
#include "hex/memoryimage.h"

namespace {

std::optional<MemoryImage> readImage(const QByteArray &text)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    IntelHexReader reader;
    if (!reader.read(buffer, QStringLiteral("fuzz.hex")))
        return std::nullopt;
    std::optional<MemoryImage::Conflict> conflict;
    MemoryImage image = MemoryImage::fromChunks(reader.takeContent().chunks, &conflict);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<MemoryImage> image = readImage(text);
    if (!image)
        return 0;
    (void)image->spans();

    QBuffer written;
    written.open(QIODevice::WriteOnly);
    IntelHexWriter writer(written);
    if (!image->isEmpty())
        writer.begin(static_cast<quint32>(image->lowestAddress()));
    for (const MemoryImage::Range &range : image->ranges())
        writer.writeData(range.start, range.bytes);
    writer.finish();

    const std::optional<MemoryImage> again = readImage(written.data());
    if (!again || countNotErased(*again) != countNotErased(*image))
        std::abort();
    for (const MemoryImage::Range &range : again->ranges())
        for (qsizetype i = 0; i < range.bytes.size(); ++i)
            if (!holds(*image, range.start + static_cast<quint64>(i), range.bytes.at(i)))
                std::abort();
    return 0;
}
