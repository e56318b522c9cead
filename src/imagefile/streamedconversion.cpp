#include "streamedconversion.h"

#include "atomicoutputfile.h"
#include "conversiontexts.h"
#include "imageloader.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "jobrun.h"
#include "orderedimagewriter.h"
#include "srecordreader.h"

using namespace ConversionTexts;

namespace {

using Streamed = std::optional<Result<Conversion>>;

// What the reader found, the data already written: the records that end the output, then the output
// in the target's place.
template <typename Reader>
Streamed finishOutput(Reader &reader, OrderedImageWriter &writer, AtomicOutputFile &output,
                      const Conversion &conversion, const QString &inputName)
{
    QList<Problem> warnings = reader.diagnostics();
    if (writer.isEmpty())
        warnings << emptyImageWarning(conversion.outputFormat, inputName);
    if (!writer.finish(reader.takeContent().startAddress))
        return Failure(writeProblem(conversion.outputPath, writer.errorString()));
    if (!output.commit())
        return Failure(writeProblem(conversion.outputPath, output.errorString()));
    return Result<Conversion>(conversion, warnings);
}

template <typename Reader>
Streamed streamWith(InputFile &input, const Conversion &conversion, const ConversionOptions &options,
                    JobRun &run)
{
    const qint64 start = input.device().pos();
    AtomicOutputFile output(conversion.outputPath);
    if (!output.open())
        return std::nullopt;
    ImageWriteOptions writeOptions;
    writeOptions.binaryBase = options.binaryBase;
    OrderedImageWriter writer(output.device(), conversion.outputFormat, writeOptions);
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
        if (input.device().seek(start))
            return std::nullopt;
        return Failure(Problem::error(
            QStringLiteral("не удалось прочитать файл: %1").arg(input.device().errorString()), input.path()));
    }
    if (!read)
        return Failure(Problem::error(recordReadErrorText(reader.error(), input.path())));
    return finishOutput(reader, writer, output, conversion, input.path());
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
    case InputFormat::Empty:
    case InputFormat::Binary:
    case InputFormat::Elf:
        break;
    }
    return std::nullopt;
}
