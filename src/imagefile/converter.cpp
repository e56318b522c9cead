#include "converter.h"

#include <QFile>
#include <QFileInfo>

#include "atomicoutputfile.h"
#include "conversiontexts.h"
#include "hextext.h"
#include "imageloader.h"
#include "inputfile.h"
#include "intelhexwriter.h"
#include "jobrun.h"
#include "memoryimage.h"
#include "srecordwriter.h"
#include "streamedconversion.h"
#include "systemerror.h"

using namespace ConversionTexts;

namespace {

constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);
// Bytes handed to the writer between two looks for a cancel; a multiple of 16 keeps the record grid.
constexpr qsizetype SliceSize = 256 * 1024;
// The share of the progress that reading an image into memory takes, in thousandths.
constexpr int ReadShare = 400;

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

Failure cancelled()
{
    return Failure(JobRun::cancelledProblem());
}

// What stops a binary input of `size` bytes (so far) at `offset`: past the largest image, or past
// the 4 GiB the record formats address.
std::optional<Problem> binaryExtentProblem(const QString &inputName, quint64 offset, quint64 size,
                                           OutputFormat format)
{
    if (size > static_cast<quint64>(LargestImageSize))
        return Problem::error(inputTooLargeText(), inputName);
    if (offset >= AddressSpaceEnd || offset + size > AddressSpaceEnd)
        return Problem::error(QStringLiteral("%1 байт по смещению %2 выходят за 4 ГиБ, которые адресует %3")
                                  .arg(size)
                                  .arg(HexText::address(offset), recordFormatName(format)),
                              inputName);
    return std::nullopt;
}

// Hands a binary input to the record writer block by block, so that a pipe needs no size and a
// large file no copy in memory. Stops at a read or write failure, at a limit, or at a cancel.
template <typename Writer>
std::optional<Problem> copyBinary(InputFile &input, quint64 offset, Writer &writer, AtomicOutputFile &output,
                                  OutputFormat format, JobRun &run)
{
    const qint64 total = qMax<qint64>(0, input.knownSize());
    QByteArray block(SliceSize, Qt::Uninitialized);
    quint64 position = 0;
    for (;;) {
        SystemError::clear();
        const qint64 got = readFull(input.device(), block.data(), block.size());
        if (got < 0)
            return Problem::error(
                QStringLiteral("не удалось прочитать файл: %1").arg(SystemError::of(input.device())),
                input.path());
        if (got == 0)
            return std::nullopt;
        if (auto problem = binaryExtentProblem(input.path(), offset, position + quint64(got), format))
            return problem;
        // After a failed write the writer's buffer is in doubt: nothing more may follow it.
        if (!writer.writeData(offset + position, QByteArrayView(block.constData(), got)))
            return writeProblem(output.targetPath(),
                                writer.errorString().isEmpty() ? output.errorString() : writer.errorString());
        position += quint64(got);
        run.setProgress(qint64(position), total);
        if (run.isCancelled())
            return JobRun::cancelledProblem();
    }
}

// A binary input streamed into records; `begin(writer)` writes what comes before the data.
template <typename Writer, typename Begin>
Result<Conversion> streamBinary(InputFile &input, quint64 offset, Conversion conversion, JobRun &run,
                                Begin &&begin)
{
    // Streamed or held, every input stops at the largest image.
    const auto knownSize = static_cast<quint64>(qMax<qint64>(0, input.knownSize()));
    if (auto problem = binaryExtentProblem(input.path(), offset, knownSize, conversion.outputFormat))
        return Failure(*problem);
    AtomicOutputFile output(conversion.outputPath);
    if (!output.open())
        return Failure(writeProblem(conversion.outputPath, output.errorString()));
    Writer writer(output.device());
    if (!begin(writer))
        return Failure(writeProblem(conversion.outputPath, writer.errorString()));
    if (auto problem = copyBinary(input, offset, writer, output, conversion.outputFormat, run))
        return Failure(*problem);
    if (!writer.finish() || !output.commit())
        return Failure(writeProblem(conversion.outputPath, writer.errorString().isEmpty()
                                                               ? output.errorString()
                                                               : writer.errorString()));
    return conversion;
}

Result<Conversion> binToHex(InputFile &input, quint64 offset, Conversion conversion, JobRun &run)
{
    conversion.outputFormat = OutputFormat::IntelHex;
    return streamBinary<IntelHexWriter>(input, offset, conversion, run, [offset](IntelHexWriter &writer) {
        return writer.begin(static_cast<quint32>(offset));
    });
}

Result<Conversion> binToSRecord(InputFile &input, quint64 offset, Conversion conversion, JobRun &run)
{
    conversion.outputFormat = OutputFormat::SRecord;
    return streamBinary<SRecordWriter>(input, offset, conversion, run, [](SRecordWriter &writer) {
        writer.setSkipErased(true);
        return writer.begin(ImageWriteOptions().header);
    });
}

// Reads any input whole into memory (as `format`, or as its content says), in the first share of
// the run's progress.
Result<LoadedImage> loadInput(InputFile &input, quint64 binaryOffset, std::optional<InputFormat> format,
                              JobRun &run)
{
    ImageLoadOptions loadOptions;
    loadOptions.format = format;
    loadOptions.binaryOffset = binaryOffset;
    loadOptions.displayName = input.path();
    loadOptions.run = &run;
    // The input stays open until the output is written.
    loadOptions.inputOutlivesImage = true;
    run.setStage(0, ReadShare);
    LoadedImage loaded = loadImage(input, loadOptions);
    run.setStage(ReadShare, JobRun::PerMille);
    if (run.isCancelled())
        return cancelled();
    if (!loaded.ok())
        return Failure(Problem::error(loaded.errorText));
    QList<Problem> warnings = loaded.warnings;
    return Result<LoadedImage>(std::move(loaded), std::move(warnings));
}

// Writes an image held in memory in the output format, replacing the output whole.
std::optional<Problem> writeLoaded(const LoadedImage &loaded, const ImageWriteOptions &options,
                                   const QString &outputPath, OutputFormat format)
{
    AtomicOutputFile output(outputPath);
    if (!output.open())
        return writeProblem(outputPath, output.errorString());
    QString writeError;
    switch (writeImage(output.device(), loaded.image, format, options, &writeError)) {
    case WriteOutcome::Cancelled:
        return JobRun::cancelledProblem();
    case WriteOutcome::Failed:
        return writeProblem(outputPath, writeError);
    case WriteOutcome::Written:
        break;
    }
    if (!output.commit())
        return writeProblem(outputPath, output.errorString());
    return std::nullopt;
}

// Any input read whole into memory (as `format`, or as its content says), then written in the
// output format.
Result<Conversion> convertLoaded(InputFile &input, quint64 binaryOffset, const ConversionOptions &options,
                                 Conversion conversion, JobRun &run,
                                 std::optional<InputFormat> format = std::nullopt)
{
    const QString inputName = input.path();
    Result<LoadedImage> loaded = loadInput(input, binaryOffset, format, run);
    if (!loaded)
        return Failure(loaded.problems());
    conversion.inputFormat = loaded->format;

    ImageWriteOptions writeOptions;
    writeOptions.binaryBase = options.binaryBase;
    writeOptions.startAddress = loaded->startAddress;
    // A flat binary's 0xFF bytes are erased flash, as they are when it is streamed into records.
    writeOptions.skipErased = loaded->format == InputFormat::Binary;
    writeOptions.run = &run;
    const QString problem =
        imageWriteProblem(loaded->image, conversion.outputFormat, writeOptions, inputName);
    if (!problem.isEmpty())
        return Failure(Problem::error(problem));
    QList<Problem> warnings = loaded.problems();
    if (loaded->image.isEmpty())
        warnings << emptyImageWarning(conversion.outputFormat, inputName);
    if (auto failed =
            writeLoaded(loaded.value(), writeOptions, conversion.outputPath, conversion.outputFormat))
        return Failure(*failed);
    return Result<Conversion>(conversion, warnings);
}

// Holds the input to what the user said it is: Intel HEX is read as such, a binary must be one.
std::optional<Problem> takeAsExpected(Conversion &conversion, std::optional<InputFormat> expected,
                                      const QString &inputPath)
{
    if (expected == InputFormat::IntelHex)
        conversion.inputFormat = InputFormat::IntelHex;
    if (expected != InputFormat::Binary || conversion.inputFormat == InputFormat::Binary)
        return std::nullopt;
    return Problem::error(QStringLiteral("это %1, а не двоичный файл; ничего не записано")
                              .arg(formatDescription(conversion.inputFormat)),
                          inputPath);
}

// The output format, and the output path beside the input: Intel HEX and binary keep the names they
// have always had when no format is asked for.
void chooseOutputFormat(Conversion &conversion, const QString &inputPath, const ConversionOptions &options)
{
    const bool binaryInput = conversion.inputFormat == InputFormat::Binary;
    conversion.outputFormat =
        options.to.value_or(binaryInput ? OutputFormat::IntelHex : OutputFormat::Binary);
    if (!options.outputPath.isEmpty())
        conversion.outputPath = options.outputPath;
    else if (!options.to && conversion.inputFormat == InputFormat::IntelHex)
        conversion.outputPath = binaryOutputPathFor(inputPath);
    else if (!options.to && binaryInput)
        conversion.outputPath = hexOutputPathFor(inputPath);
    else
        conversion.outputPath = outputPathFor(inputPath, conversion.outputFormat);
}

// Refuses an output that would be the input itself; asks before replacing an existing one (a "no"
// cancels the run).
std::optional<Problem> confirmOutput(const Conversion &conversion, const QString &inputPath,
                                     const ConversionOptions &options, JobRun &run)
{
    if (sameFile(inputPath, conversion.outputPath))
        return Problem::error(QStringLiteral("выходной файл заменил бы входной"), inputPath);
    if (options.confirmReplace && QFileInfo::exists(conversion.outputPath) &&
        !options.confirmReplace(conversion.outputPath)) {
        run.cancel();
        return JobRun::cancelledProblem();
    }
    return std::nullopt;
}

// A binary input, at the offset the question gives (a cancelled question cancels the run).
Result<Conversion> convertBinary(InputFile &input, const BinaryOffsetQuestion &askOffset,
                                 const ConversionOptions &options, const Conversion &conversion, JobRun &run)
{
    const std::optional<quint64> offset = askOffset ? askOffset() : std::optional<quint64>(0);
    if (!offset) {
        run.cancel();
        return cancelled();
    }
    switch (conversion.outputFormat) {
    case OutputFormat::IntelHex:
        return binToHex(input, *offset, conversion, run);
    case OutputFormat::SRecord:
        return binToSRecord(input, *offset, conversion, run);
    case OutputFormat::Binary:
        break;
    }
    return convertLoaded(input, *offset, options, conversion, run);
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

Result<Conversion> convertFile(const QString &inputPath, const BinaryOffsetQuestion &askOffset,
                               const ConversionOptions &options, JobRun &run)
{
    InputFile input(inputPath);
    if (!input.open())
        return Failure(Problem::error(input.problemText(), input.path()));
    Conversion conversion;
    conversion.inputFormat = detectInputFormat(input.device());
    if (conversion.inputFormat == InputFormat::Empty)
        return Failure(Problem::error(QStringLiteral("файл пуст, конвертировать нечего"), inputPath));
    if (auto problem = takeAsExpected(conversion, options.expectedInput, inputPath))
        return Failure(*problem);
    chooseOutputFormat(conversion, inputPath, options);
    if (auto problem = confirmOutput(conversion, inputPath, options, run))
        return Failure(*problem);
    if (conversion.inputFormat != InputFormat::Binary) {
        // Record files written in address order, as linkers write them, need not be held whole.
        if (auto streamed = streamRecordConversion(input, conversion, options, run))
            return *std::move(streamed);
        return convertLoaded(input, 0, options, conversion, run, conversion.inputFormat);
    }
    return convertBinary(input, askOffset, options, conversion, run);
}
