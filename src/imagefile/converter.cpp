#include "converter.h"

#include <QFile>
#include <QFileInfo>

#include "atomicoutputfile.h"
#include "hextext.h"
#include "imageloader.h"
#include "inputfile.h"
#include "intelhexwriter.h"
#include "memoryimage.h"
#include "progressthrottle.h"
#include "srecordwriter.h"
#include "systemerror.h"

namespace {

constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);
// Bytes handed to the writer between two looks at the clock; a multiple of 16 keeps the record grid.
constexpr qsizetype SliceSize = 256 * 1024;

ConversionResult failure(ConversionResult result, const QString &text)
{
    result.ok = false;
    result.errorText = text;
    return result;
}

QString replaceExtensionInName(const QString &path, QLatin1String from, QLatin1String to)
{
    const qsizetype slash = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString directory = path.left(slash + 1);
    QString name = path.mid(slash + 1);
    const QString original = name;
    name.replace(from, to, Qt::CaseSensitive);
    if (name == original)
        name += to;
    return directory + name;
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.absoluteFilePath() == second.absoluteFilePath() ||
           (first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath());
}

// Maps the progress of one phase onto a share of the whole job, in thousandths.
ProgressCallback phaseProgress(const ProgressCallback &overall, int fromPerMille, int toPerMille)
{
    if (!overall)
        return {};
    return [overall, fromPerMille, toPerMille](qint64 done, qint64 total) {
        const qint64 span = toPerMille - fromPerMille;
        overall(fromPerMille + (total > 0 ? done * span / total : span), 1000);
    };
}

// Opens the input once; false (with the reason in the result) when it cannot be read.
bool openInput(InputFile &input, ConversionResult &result)
{
    if (input.open())
        return true;
    result.ok = false;
    result.errorText = QStringLiteral("%1: %2").arg(input.path(), input.problemText());
    return false;
}

// Fills the block from the device, so that a pipe's short reads do not break the 16-byte record
// grid; returns the bytes read (fewer only at the end of the input), -1 on a read error.
qint64 readFull(QIODevice &device, char *block, qint64 size)
{
    qint64 filled = 0;
    while (filled < size) {
        const qint64 got = device.read(block + filled, size - filled);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        filled += got;
    }
    return filled;
}

// "файл Intel HEX": what an input holds, as a message says it.
QString formatDescription(InputFormat format)
{
    switch (format) {
    case InputFormat::IntelHex:
        return QStringLiteral("файл Intel HEX");
    case InputFormat::SRecord:
        return QStringLiteral("файл S-record");
    case InputFormat::Elf:
        return QStringLiteral("исполняемый файл ELF");
    case InputFormat::Empty:
    case InputFormat::Binary:
        break;
    }
    return QStringLiteral("двоичный файл");
}

QString recordFormatName(OutputFormat format)
{
    return format == OutputFormat::SRecord ? QStringLiteral("S-records") : QStringLiteral("Intel HEX");
}

// A binary input streamed into records: a pipe has no size to map, and a large file needs no copy
// in memory. `begin(writer)` writes what comes before the data.
template <typename Writer, typename Begin>
ConversionResult streamBinary(InputFile &input, quint64 offset, const ConversionOptions &options,
                              ConversionResult result, Begin &&begin)
{
    result.inputFormat = InputFormat::Binary;
    const QString inputName = input.path();
    const auto pastLimit = [&]() {
        return failure(result, QStringLiteral("%1: %2").arg(inputName, inputTooLargeText()));
    };
    const auto tooLarge = [&](quint64 size) {
        return failure(result,
                       QStringLiteral("%1: %2 байт по смещению %3 выходят за 4 ГиБ, которые адресует %4")
                           .arg(inputName)
                           .arg(size)
                           .arg(HexText::address(offset), recordFormatName(result.outputFormat)));
    };
    const qint64 knownSize = input.knownSize();
    // Streamed or held, every input stops at the largest image.
    if (knownSize > LargestImageSize)
        return pastLimit();
    if (offset >= AddressSpaceEnd ||
        offset + static_cast<quint64>(qMax<qint64>(0, knownSize)) > AddressSpaceEnd)
        return tooLarge(static_cast<quint64>(knownSize));

    AtomicOutputFile output(result.outputPath);
    if (!output.open())
        return failure(
            result,
            QStringLiteral("%1: не удалось записать файл: %2").arg(result.outputPath, output.errorString()));

    ProgressThrottle throttle(options.progress, qMax<qint64>(0, knownSize));
    Writer writer(output.device());
    bool written = begin(writer);
    QByteArray block(SliceSize, Qt::Uninitialized);
    quint64 position = 0;
    while (written) {
        SystemError::clear();
        const qint64 got = readFull(input.device(), block.data(), block.size());
        if (got < 0)
            return failure(result, QStringLiteral("%1: не удалось прочитать файл: %2")
                                       .arg(inputName, SystemError::of(input.device())));
        if (got == 0)
            break;
        if (position + static_cast<quint64>(got) > static_cast<quint64>(LargestImageSize)) {
            output.cancel();
            return pastLimit();
        }
        if (offset + position + static_cast<quint64>(got) > AddressSpaceEnd) {
            output.cancel();
            return tooLarge(position + static_cast<quint64>(got));
        }
        // After a failed write the writer's buffer is in doubt: nothing more may follow it.
        written = writer.writeData(offset + position, QByteArrayView(block.constData(), got));
        position += static_cast<quint64>(got);
        if (throttle.update(static_cast<qint64>(position)) && options.cancelRequested &&
            options.cancelRequested()) {
            output.cancel();
            result.cancelled = true;
            return result;
        }
    }
    if (!written || !writer.finish() || !output.commit())
        return failure(result,
                       QStringLiteral("%1: не удалось записать файл: %2")
                           .arg(result.outputPath, writer.errorString().isEmpty() ? output.errorString()
                                                                                  : writer.errorString()));
    throttle.finish();
    result.ok = true;
    return result;
}

ConversionResult binToHex(InputFile &input, quint64 offset, const ConversionOptions &options,
                          ConversionResult result)
{
    result.outputFormat = OutputFormat::IntelHex;
    return streamBinary<IntelHexWriter>(input, offset, options, result, [offset](IntelHexWriter &writer) {
        return writer.begin(static_cast<quint32>(offset));
    });
}

ConversionResult binToSRecord(InputFile &input, quint64 offset, const ConversionOptions &options,
                              ConversionResult result)
{
    result.outputFormat = OutputFormat::SRecord;
    return streamBinary<SRecordWriter>(input, offset, options, result, [](SRecordWriter &writer) {
        writer.setSkipErased(true);
        return writer.begin(ImageWriteOptions().header);
    });
}

// Any input read whole into memory (as `format`, or as its content says), then written in the
// output format.
ConversionResult convertLoaded(InputFile &input, quint64 binaryOffset, const ConversionOptions &options,
                               ConversionResult result, std::optional<InputFormat> format = std::nullopt)
{
    const QString inputName = input.path();
    ImageLoadOptions loadOptions;
    loadOptions.format = format;
    loadOptions.binaryOffset = binaryOffset;
    loadOptions.displayName = inputName;
    loadOptions.progress = phaseProgress(options.progress, 0, 400);
    const LoadedImage loaded = loadImage(input, loadOptions);
    result.inputFormat = loaded.format;
    if (!loaded.ok())
        return failure(result, loaded.errorText);
    for (const Problem &diagnostic : loaded.warnings)
        result.warnings << diagnostic.toString();
    if (options.cancelRequested && options.cancelRequested()) {
        result.cancelled = true;
        return result;
    }

    ImageWriteOptions writeOptions;
    writeOptions.binaryBase = options.binaryBase;
    writeOptions.startAddress = loaded.startAddress;
    // A flat binary's 0xFF bytes are erased flash, as they are when it is streamed into records.
    writeOptions.skipErased = loaded.format == InputFormat::Binary;
    writeOptions.progress = phaseProgress(options.progress, 400, 1000);
    writeOptions.cancelRequested = options.cancelRequested;
    const QString problem = imageWriteProblem(loaded.image, result.outputFormat, writeOptions, inputName);
    if (!problem.isEmpty())
        return failure(result, problem);
    if (loaded.image.isEmpty())
        result.warnings << QStringLiteral("%1: в файле нет данных; %2 пуст")
                               .arg(inputName,
                                    result.outputFormat == OutputFormat::Binary
                                        ? QStringLiteral("двоичный файл")
                                        : QStringLiteral("файл ") + recordFormatName(result.outputFormat));

    AtomicOutputFile output(result.outputPath);
    if (!output.open())
        return failure(
            result,
            QStringLiteral("%1: не удалось записать файл: %2").arg(result.outputPath, output.errorString()));
    QString writeError;
    switch (writeImage(output.device(), loaded.image, result.outputFormat, writeOptions, &writeError)) {
    case WriteOutcome::Cancelled:
        output.cancel();
        result.cancelled = true;
        return result;
    case WriteOutcome::Failed:
        output.cancel();
        return failure(result,
                       QStringLiteral("%1: не удалось записать файл: %2").arg(result.outputPath, writeError));
    case WriteOutcome::Written:
        break;
    }
    if (!output.commit())
        return failure(
            result,
            QStringLiteral("%1: не удалось записать файл: %2").arg(result.outputPath, output.errorString()));
    result.ok = true;
    return result;
}

// Holds the input to what the user said it is: Intel HEX is read as such, a binary must be one.
// False (with the reason in the result) when it is not what was said.
bool takeAsExpected(ConversionResult &result, std::optional<InputFormat> expected, const QString &inputPath)
{
    if (expected == InputFormat::IntelHex)
        result.inputFormat = InputFormat::IntelHex;
    if (expected != InputFormat::Binary || result.inputFormat == InputFormat::Binary)
        return true;
    result.ok = false;
    result.errorText = QStringLiteral("%1: это %2, а не двоичный файл; ничего не записано")
                           .arg(inputPath, formatDescription(result.inputFormat));
    return false;
}

// The output path of a conversion, refused when it would be the input itself.
bool chooseOutput(ConversionResult &result, const QString &inputPath, const ConversionOptions &options,
                  const QString &besideInput)
{
    result.outputPath = options.outputPath.isEmpty() ? besideInput : options.outputPath;
    if (!sameFile(inputPath, result.outputPath)) {
        if (options.confirmReplace && QFileInfo::exists(result.outputPath) &&
            !options.confirmReplace(result.outputPath)) {
            result.cancelled = true;
            return false;
        }
        return true;
    }
    result.ok = false;
    result.errorText = QStringLiteral("%1: выходной файл заменил бы входной").arg(inputPath);
    return false;
}

} // namespace

QString hexOutputPathFor(const QString &binaryPath)
{
    return replaceExtensionInName(binaryPath, QLatin1String(".bin"), QLatin1String(".hex"));
}

QString binaryOutputPathFor(const QString &hexPath)
{
    return replaceExtensionInName(hexPath, QLatin1String(".hex"), QLatin1String(".bin"));
}

QString outputPathFor(const QString &inputPath, OutputFormat format)
{
    const qsizetype slash =
        qMax(inputPath.lastIndexOf(QLatin1Char('/')), inputPath.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = inputPath.lastIndexOf(QLatin1Char('.'));
    // A dot that starts the name (".hidden") is no extension.
    const bool hasExtension = dot > slash + 1;
    return (hasExtension ? inputPath.left(dot) : inputPath) + outputFormatExtension(format);
}

ConversionResult convertFile(const QString &inputPath, const BinaryOffsetQuestion &askOffset,
                             const ConversionOptions &options)
{
    ConversionResult result;
    InputFile input(inputPath);
    if (!openInput(input, result))
        return result;
    result.inputFormat = detectInputFormat(input.device());
    if (result.inputFormat == InputFormat::Empty)
        return failure(result, QStringLiteral("%1: файл пуст, конвертировать нечего").arg(inputPath));
    if (!takeAsExpected(result, options.expectedInput, inputPath))
        return result;
    const bool binaryInput = result.inputFormat == InputFormat::Binary;
    result.outputFormat = options.to.value_or(binaryInput ? OutputFormat::IntelHex : OutputFormat::Binary);
    // Intel HEX and binary keep the names they have always had when no format is asked for.
    QString besideInput;
    if (!options.to && result.inputFormat == InputFormat::IntelHex)
        besideInput = binaryOutputPathFor(inputPath);
    else if (!options.to && binaryInput)
        besideInput = hexOutputPathFor(inputPath);
    else
        besideInput = outputPathFor(inputPath, result.outputFormat);
    if (!chooseOutput(result, inputPath, options, besideInput))
        return result;
    if (!binaryInput)
        return convertLoaded(input, 0, options, result, result.inputFormat);

    quint64 offset = 0;
    if (askOffset) {
        const std::optional<quint64> answer = askOffset();
        if (!answer) {
            result.cancelled = true;
            return result;
        }
        offset = *answer;
    }
    switch (result.outputFormat) {
    case OutputFormat::IntelHex:
        return binToHex(input, offset, options, result);
    case OutputFormat::SRecord:
        return binToSRecord(input, offset, options, result);
    case OutputFormat::Binary:
        break;
    }
    return convertLoaded(input, offset, options, result);
}
