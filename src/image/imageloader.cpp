#include "imageloader.h"

#include <type_traits>

#include "elfreader.h"
#include "hextext.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "jobrun.h"
#include "srecordreader.h"

namespace {

LoadedImage failed(LoadedImage loaded, const QString &text)
{
    loaded.errorText = text;
    loaded.image = {};
    return loaded;
}

// Counts the input's bytes as a reader takes them, so that the size of a pipe is known too.
auto countInto(qint64 &size)
{
    return [&size](QByteArrayView block) {
        size += block.size();
    };
}

void countRest(QIODevice &device, qint64 &size)
{
    QByteArray rest(1 << 20, Qt::Uninitialized);
    for (qint64 got; (got = device.read(rest.data(), rest.size())) > 0;)
        size += got;
}

// Builds the image from chunks read in file order; clashing bytes name both of their places.
LoadedImage placeChunks(LoadedImage loaded, QList<DataChunk> chunks, const QString &name,
                        const QString &places)
{
    std::optional<MemoryImage::Conflict> conflict;
    loaded.image = MemoryImage::fromChunks(std::move(chunks), &conflict);
    if (!conflict)
        return loaded;
    return failed(std::move(loaded), QStringLiteral("%1, %2 %3 и %4: разные байты по адресу %5 (%6 и %7)")
                                         .arg(name, places)
                                         .arg(conflict->firstLine)
                                         .arg(conflict->secondLine)
                                         .arg(HexText::address(conflict->address))
                                         .arg(HexText::number(conflict->firstValue, 2),
                                              HexText::number(conflict->secondValue, 2)));
}

// Intel HEX and S-records are read alike: record by record, each checked, errors naming the line.
template <typename Reader>
LoadedImage loadRecordFile(InputFile &input, const ImageLoadOptions &options, const QString &name,
                           LoadedImage loaded)
{
    Reader reader;
    reader.setMemoryLimit(options.memoryLimit);
    reader.setBlockObserver(countInto(loaded.fileSize));
    if (!reader.read(input.device(), name, options.run))
        return failed(std::move(loaded), recordReadErrorText(reader.error(), name));
    countRest(input.device(), loaded.fileSize);
    loaded.warnings = reader.diagnostics();
    auto content = reader.takeContent();
    loaded.startAddress = content.startAddress;
    if constexpr (std::is_same_v<Reader, SRecordReader>)
        loaded.header = content.header;
    return placeChunks(std::move(loaded), std::move(content.chunks), name, QStringLiteral("строки"));
}

LoadedImage loadElf(InputFile &input, const ImageLoadOptions &options, const QString &name,
                    LoadedImage loaded)
{
    ElfReader reader;
    reader.setMemoryLimit(options.memoryLimit);
    reader.setBorrowMapped(options.inputOutlivesImage);
    if (!reader.read(input))
        return failed(std::move(loaded), QStringLiteral("%1: %2").arg(name, reader.errorText()));
    ElfContent content = reader.takeContent();
    loaded.fileSize = content.fileSize;
    loaded.startAddress = content.entryPoint;
    loaded.fileSpans = content.fileSpans;
    for (const QString &warning : std::as_const(content.warnings))
        loaded.warnings.append(Problem::warning(warning, name));
    if (options.run)
        options.run->setProgress(loaded.fileSize, loaded.fileSize);
    return placeChunks(std::move(loaded), std::move(content.chunks), name,
                       content.fromSegments ? QStringLiteral("программные заголовки")
                                            : QStringLiteral("секции"));
}

LoadedImage loadBinary(InputFile &input, const ImageLoadOptions &options, const QString &name,
                       LoadedImage loaded)
{
    std::optional<QByteArray> bytes = input.readToEnd(options.memoryLimit);
    if (!bytes)
        return failed(std::move(loaded),
                      QStringLiteral("%1: %2").arg(name, input.problemText(options.memoryLimit)));
    loaded.fileSize = bytes->size();
    if (options.binaryOffset + static_cast<quint64>(bytes->size()) < options.binaryOffset)
        return failed(std::move(loaded), QStringLiteral("%1: с адреса %2 данные выходят за конец адресного "
                                                        "пространства")
                                             .arg(name, HexText::address(options.binaryOffset)));
    if (options.run)
        options.run->setProgress(loaded.fileSize, loaded.fileSize);
    loaded.image = MemoryImage::fromBytes(options.binaryOffset, std::move(*bytes));
    return loaded;
}

} // namespace

QString recordReadErrorText(const std::optional<Problem> &error, const QString &name)
{
    const Problem diagnostic = error.value_or(Problem{});
    if (diagnostic.line > 0)
        return QStringLiteral("%1, строка %2: %3").arg(name).arg(diagnostic.line).arg(diagnostic.message);
    return QStringLiteral("%1: %2").arg(name, diagnostic.message);
}

LoadedImage loadImage(InputFile &input, const ImageLoadOptions &options)
{
    const QString name = options.displayName.isEmpty() ? input.path() : options.displayName;
    LoadedImage loaded;
    loaded.format = options.format.value_or(detectInputFormat(input.device()));
    switch (loaded.format) {
    case InputFormat::Empty:
        return loaded;
    case InputFormat::IntelHex:
        return loadRecordFile<IntelHexReader>(input, options, name, std::move(loaded));
    case InputFormat::SRecord:
        return loadRecordFile<SRecordReader>(input, options, name, std::move(loaded));
    case InputFormat::Elf:
        return loadElf(input, options, name, std::move(loaded));
    case InputFormat::Binary:
        break;
    }
    return loadBinary(input, options, name, std::move(loaded));
}

LoadedImage loadImageFile(const QString &path, const ImageLoadOptions &options)
{
    InputFile input(path);
    if (!input.open()) {
        LoadedImage loaded;
        const QString name = options.displayName.isEmpty() ? path : options.displayName;
        return failed(std::move(loaded), QStringLiteral("%1: %2").arg(name, input.problemText()));
    }
    return loadImage(input, options);
}
