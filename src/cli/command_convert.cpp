#include "cli/clireporter.h"
#include "cli/commandline.h"
#include "cli/commands.h"

#include <QTextStream>

#include "hex/converter.h"

int runConvertCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("convert"),
        QStringLiteral(
            "Converts an Intel HEX file to a flat binary (from address 0, gaps 0xFF) or a binary file "
            "to Intel HEX. The direction follows the file's content: a file whose first non-empty line "
            "is an Intel HEX record is Intel HEX (and a bad record further on is an error), anything "
            "else is binary. FILE may be a pipe; an empty FILE is an error."));
    QCommandLineParser &parser = commandLine.parser();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("the file to convert"));
    const QCommandLineOption offsetOption(
        QStringLiteral("offset"), QStringLiteral("load address of a binary input, hexadecimal (default 0)"),
        QStringLiteral("HEX"));
    const QCommandLineOption outputOption(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("output file (default: beside the input, .bin <-> .hex)"), QStringLiteral("OUTPUT"));
    parser.addOption(offsetOption);
    parser.addOption(outputOption);

    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return commandLine.usageError(QStringLiteral("expected exactly one FILE"));
    quint64 offset = 0;
    if (parser.isSet(offsetOption) && !parseHexArgument(parser.value(offsetOption), &offset))
        return commandLine.usageError(QStringLiteral("--offset takes a hexadecimal number, not \"%1\"")
                                          .arg(parser.value(offsetOption)));

    const QString input = files.first();
    ConversionOptions options;
    options.outputPath = parser.value(outputOption);
    const ConversionResult result = convertFile(
        input, [offset]() -> std::optional<quint64> { return offset; }, options);
    if (result.inputFormat == InputFormat::IntelHex && parser.isSet(offsetOption))
        cliErr() << "quillon-cli convert: " << input << " is Intel HEX; --offset is ignored" << Qt::endl;
    for (const QString &warning : result.warnings)
        cliErr() << "warning: " << warning << Qt::endl;
    if (!result.ok) {
        cliErr() << "error: " << result.errorText << Qt::endl;
        return CliExit::Failed;
    }
    cliOut() << result.outputPath << Qt::endl;
    return CliExit::Success;
}
