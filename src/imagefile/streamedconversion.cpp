#include "streamedconversion.h"

#include "atomicoutputfile.h"
#include "conversiontexts.h"
#include "elfreader.h"
#include "filespans.h"
#include "imageloader.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "jobrun.h"
#include "orderedimagewriter.h"
#include "placedbinarywriter.h"
#include "srecordreader.h"

using namespace ConversionTexts;

namespace {

using Streamed = std::optional<Result<Conversion>>;

// What an ELF file's bytes are copied through: the most of them held at once.
constexpr qint64 CopyBlockSize = 256 * 1024;
constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);

Problem readProblem(InputFile &input)
{
    return Problem::error(QStringLiteral("не удалось прочитать файл: %1").arg(input.device().errorString()),
                          input.path());
}

bool finishWriter(OrderedImageWriter &writer, std::optional<quint32> startAddress)
{
    return writer.finish(startAddress);
}

bool finishWriter(PlacedBinaryWriter &writer, std::optional<quint32>)
{
    return writer.finish();
}

// What the reader found, the data already written: the records that end the output, then the output
// in the target's place.
template <typename Reader, typename Writer>
Streamed finishOutput(Reader &reader, Writer &writer, AtomicOutputFile &output, const Conversion &conversion,
                      const QString &inputName)
{
    QList<Problem> warnings = reader.diagnostics();
    if (writer.isEmpty())
        warnings << emptyImageWarning(conversion.outputFormat, inputName);
    if (!finishWriter(writer, reader.takeContent().startAddress))
        return Failure(writeProblem(conversion.outputPath, writer.errorString()));
    if (!output.commit())
        return Failure(writeProblem(conversion.outputPath, output.errorString()));
    return Result<Conversion>(conversion, warnings);
}

// One pass over the input from where it is, its data handed to the writer as it is read; nothing
// when the writer refused some of it (the output is then dropped).
template <typename Reader, typename Writer>
Streamed readInto(Writer &writer, AtomicOutputFile &output, InputFile &input, const Conversion &conversion,
                  JobRun &run)
{
    Reader reader;
    reader.setMemoryLimit(LargestImageSize);
    reader.setDataSink([&writer](quint64 address, const quint8 *data, int count) {
        return writer.add(address, data, count);
    });
    run.setStage(0, JobRun::PerMille);
    const bool read = reader.read(input.device(), input.path(), &run);
    if (run.isCancelled())
        return Failure(JobRun::cancelledProblem());
    if (reader.refused()) {
        output.cancel();
        return std::nullopt;
    }
    if (!read)
        return Failure(Problem::error(recordReadErrorText(reader.error(), input.path())));
    return finishOutput(reader, writer, output, conversion, input.path());
}

// Records in rising addresses written as they come.
template <typename Reader>
Streamed streamInOrder(InputFile &input, const Conversion &conversion, const ConversionOptions &options,
                       JobRun &run)
{
    AtomicOutputFile output(conversion.outputPath);
    if (!output.open())
        return std::nullopt;
    ImageWriteOptions writeOptions;
    writeOptions.binaryBase = options.binaryBase;
    OrderedImageWriter writer(output.device(), conversion.outputFormat, writeOptions);
    return readInto<Reader>(writer, output, input, conversion, run);
}

// Records in any order, each placed in the binary output where it belongs.
template <typename Reader>
Streamed placeInBinary(InputFile &input, const Conversion &conversion, const ConversionOptions &options,
                       JobRun &run)
{
    AtomicOutputFile output(conversion.outputPath);
    if (!output.open())
        return std::nullopt;
    PlacedBinaryWriter writer(output, options.binaryBase);
    return readInto<Reader>(writer, output, input, conversion, run);
}

// In address order the records are written as they come; a binary takes them in any order at their
// places, read again from the start; anything else is left to the whole image.
template <typename Reader>
Streamed streamWith(InputFile &input, const Conversion &conversion, const ConversionOptions &options,
                    JobRun &run)
{
    const qint64 start = input.device().pos();
    if (auto done = streamInOrder<Reader>(input, conversion, options, run))
        return done;
    if (!input.device().seek(start))
        return Failure(readProblem(input));
    if (conversion.outputFormat != OutputFormat::Binary)
        return std::nullopt;
    if (auto done = placeInBinary<Reader>(input, conversion, options, run))
        return done;
    if (!input.device().seek(start))
        return Failure(readProblem(input));
    return std::nullopt;
}

// Copies the runs from the file to the writer through one small block. False when the writer refuses
// a run (the image it would make is refused: the whole image says why); `problem` is set when
// reading failed, and the copy stops when writing failed or the run was cancelled.
bool copySpans(InputFile &input, const QList<FileSpan> &spans, OrderedImageWriter &writer, JobRun &run,
               std::optional<Problem> &problem)
{
    qint64 total = 0;
    for (const FileSpan &span : spans)
        total += span.length;
    qint64 done = 0;
    bool refused = false;
    const auto copy = [&](quint64 address, const char *bytes, qint64 length) {
        if (!writer.add(address, reinterpret_cast<const quint8 *>(bytes), static_cast<int>(length))) {
            refused = true;
            return false;
        }
        done += length;
        run.setProgress(done, total);
        return !writer.hasFailed() && !run.isCancelled();
    };
    if (!readFileSpans(input.device(), spans, CopyBlockSize, copy))
        problem = readProblem(input);
    return !refused;
}

// An ELF file's sections are copied from the file straight to the output when they do not overlap,
// instead of being read through the mapped file, whose pages would all stay in memory.
Streamed streamElf(InputFile &input, const Conversion &conversion, const ConversionOptions &options,
                   JobRun &run)
{
    const qint64 start = input.device().pos();
    const auto holdWhole = [&]() -> Streamed {
        if (input.device().seek(start))
            return std::nullopt;
        return Failure(readProblem(input));
    };
    ElfReader reader;
    reader.setMemoryLimit(LargestImageSize);
    reader.setBorrowMapped(true); // the bytes are not used: only where they lie
    if (!reader.read(input))
        return holdWhole();
    const ElfContent content = reader.takeContent();
    const std::optional<QList<FileSpan>> spans = content.spansInAddressOrder();
    const bool startFits = !content.entryPoint || *content.entryPoint < AddressSpaceEnd;
    if (!spans || (conversion.outputFormat != OutputFormat::Binary && !startFits))
        return holdWhole();
    AtomicOutputFile output(conversion.outputPath);
    if (!output.open())
        return holdWhole();
    ImageWriteOptions writeOptions;
    writeOptions.binaryBase = options.binaryBase;
    OrderedImageWriter writer(output.device(), conversion.outputFormat, writeOptions);
    run.setStage(0, JobRun::PerMille);
    std::optional<Problem> problem;
    if (!copySpans(input, *spans, writer, run, problem)) {
        output.cancel();
        return holdWhole();
    }
    if (run.isCancelled())
        return Failure(JobRun::cancelledProblem());
    if (problem)
        return Failure(*problem);
    QList<Problem> warnings;
    for (const QString &warning : content.warnings)
        warnings << Problem::warning(warning, input.path());
    if (writer.isEmpty())
        warnings << emptyImageWarning(conversion.outputFormat, input.path());
    const std::optional<quint32> startAddress =
        content.entryPoint ? std::optional<quint32>(static_cast<quint32>(*content.entryPoint)) : std::nullopt;
    if (!writer.finish(startAddress))
        return Failure(writeProblem(conversion.outputPath, writer.errorString()));
    if (!output.commit())
        return Failure(writeProblem(conversion.outputPath, output.errorString()));
    return Result<Conversion>(conversion, warnings);
}

} // namespace

std::optional<Result<Conversion>> streamRecordConversion(InputFile &input, const Conversion &conversion,
                                                         const ConversionOptions &options, JobRun &run)
{
    if (!input.isRereadable())
        return std::nullopt;
    switch (conversion.inputFormat) {
    case InputFormat::IntelHex:
        return streamWith<IntelHexReader>(input, conversion, options, run);
    case InputFormat::SRecord:
        return streamWith<SRecordReader>(input, conversion, options, run);
    case InputFormat::Elf:
        return streamElf(input, conversion, options, run);
    case InputFormat::Empty:
    case InputFormat::Binary:
        break;
    }
    return std::nullopt;
}
