#include "clijobrun.h"
#include "clireporter.h"
#include "commandline.h"
#include "commands.h"

#include <QTextStream>

#include "converter.h"

namespace {

QString readableFormatName(InputFormat format)
{
    switch (format) {
    case InputFormat::IntelHex:
        return QStringLiteral("Intel HEX");
    case InputFormat::SRecord:
        return QStringLiteral("Motorola S-records");
    case InputFormat::Elf:
        return QStringLiteral("ELF");
    case InputFormat::Empty:
    case InputFormat::Binary:
        break;
    }
    return QStringLiteral("binary");
}

struct ConvertOptions {
    QCommandLineOption to;
    QCommandLineOption offset;
    QCommandLineOption base;
    QCommandLineOption output;
};

ConvertOptions addConvertOptions(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("the file to convert"));
    ConvertOptions options{
        {QStringLiteral("to"),
         QStringLiteral("output format: bin, hex or srec (default: a binary for Intel HEX, S-record and ELF "
                        "input, hex for a binary)"),
         QStringLiteral("FORMAT")},
        {QStringLiteral("offset"),
         QStringLiteral("address of a binary input's first byte, hexadecimal (default 0)"),
         QStringLiteral("HEX")},
        {QStringLiteral("base"),
         QStringLiteral(
             "address of a binary output's first byte, hexadecimal (default 0); data below it is an "
             "error"),
         QStringLiteral("HEX")},
        {QStringList{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("output file (default: beside the input; without --to .bin <-> .hex, with --to the "
                        "input's extension replaced by .bin, .hex or .srec)"),
         QStringLiteral("OUTPUT")},
    };
    for (const QCommandLineOption &option : {options.to, options.offset, options.base, options.output})
        parser.addOption(option);
    return options;
}

// Reads the options into the conversion's; a usage error gives the exit code.
std::optional<int> readConversionOptions(CommandLine &commandLine, const ConvertOptions &names,
                                         quint64 &offset, ConversionOptions &options)
{
    const QCommandLineParser &parser = commandLine.parser();
    if (!readHexOption(parser, names.offset, offset))
        return commandLine.usageError(notHexadecimalText(parser, names.offset));
    if (!readHexOption(parser, names.base, options.binaryBase))
        return commandLine.usageError(notHexadecimalText(parser, names.base));
    if (parser.isSet(names.to)) {
        options.to = outputFormatFromName(parser.value(names.to));
        if (!options.to)
            return commandLine.usageError(
                QStringLiteral("--to принимает bin, hex или srec, а не «%1»").arg(parser.value(names.to)));
    }
    options.outputPath = parser.value(names.output);
    return std::nullopt;
}

// Says which given options the conversion had no use for.
void noteUnusedOptions(const QCommandLineParser &parser, const ConvertOptions &names, const QString &input,
                       const Conversion &conversion)
{
    if (conversion.inputFormat != InputFormat::Binary && parser.isSet(names.offset))
        cliErr() << "quillon-cli convert: " << input << " — " << readableFormatName(conversion.inputFormat)
                 << ", --offset не учитывается" << Qt::endl;
    if (conversion.outputFormat != OutputFormat::Binary && parser.isSet(names.base))
        cliErr() << "quillon-cli convert: выход не двоичный, --base не учитывается" << Qt::endl;
}

} // namespace

int runConvertCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("convert"),
        QStringLiteral(
            "Converts an image file between formats. The input's format follows its content, never its "
            "name: ELF (an executable: its loadable segments at their load addresses), Intel HEX or "
            "Motorola S-records (a file whose first non-empty line is such a record; a bad record further "
            "on is an error naming its line), anything else is binary. FILE may be a pipe; an empty FILE "
            "is an error.\n"
            "Without --to: Intel HEX, S-records and ELF become a flat binary, a binary becomes Intel HEX.\n"
            "Binary output starts at address 0 (or --base): every address up to the last byte of data "
            "that holds no data is 0xFF (erased flash).\n"
            "Intel HEX and S-record output hold every byte the input names; from a binary input, blocks of "
            "sixteen 0xFF bytes are left out (they read back as erased flash). S-records are written as S3 "
            "records of 16 bytes with an S0 header, an S5 count and, when the input gives one, an S7 start "
            "address."));
    const ConvertOptions names = addConvertOptions(commandLine.parser());
    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    const QStringList files = commandLine.parser().positionalArguments();
    if (files.size() != 1)
        return commandLine.usageError(QStringLiteral("expected exactly one FILE"));
    quint64 offset = 0;
    ConversionOptions options;
    if (const std::optional<int> exitCode = readConversionOptions(commandLine, names, offset, options))
        return *exitCode;

    const QString input = files.first();
    CliJobRun job(QStringLiteral("Конвертация"));
    const Result<Conversion> result = convertFile(
        input, [offset]() -> std::optional<quint64> { return offset; }, options, job.run());
    if (job.interrupted())
        return job.reportInterrupted();
    if (result)
        noteUnusedOptions(commandLine.parser(), names, input, result.value());
    printProblems(result.problems());
    if (!result)
        return CliExit::Failed;
    cliOut() << result->outputPath << Qt::endl;
    return CliExit::Success;
}
