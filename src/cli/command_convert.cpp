#include "cli/clireporter.h"
#include "cli/commandline.h"
#include "cli/commands.h"

#include <algorithm>

#include <QTextStream>

#include "hex/converter.h"
#include "hex/intelhexrecord.h"

namespace {

bool parseHexOffset(QString text, quint64 *offset)
{
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    // Digits only: toULongLong() would also take a sign and surrounding blanks.
    if (text.isEmpty() || !std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() < 0x80 && hexDigitValue(char(c.unicode())) >= 0;
        }))
        return false;
    bool ok = false;
    *offset = text.toULongLong(&ok, 16);
    return ok;
}

} // namespace

int runConvertCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("convert"),
        QStringLiteral(
            "Converts an Intel HEX file to a flat binary (from address 0, gaps 0xFF) or a binary file "
            "to Intel HEX. The direction follows the file's content."));
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
    if (parser.isSet(offsetOption) && !parseHexOffset(parser.value(offsetOption), &offset))
        return commandLine.usageError(QStringLiteral("--offset takes a hexadecimal number, not \"%1\"")
                                          .arg(parser.value(offsetOption)));

    const QString input = files.first();
    ConversionOptions options;
    options.outputPath = parser.value(outputOption);
    ConversionResult result;
    if (isIntelHexInput(input)) {
        if (parser.isSet(offsetOption))
            cliErr() << "quillon-cli convert: " << input << " is Intel HEX; --offset is ignored" << Qt::endl;
        result = convertHexToBin(input, options);
    } else {
        result = convertBinToHex(input, offset, options);
    }
    for (const QString &warning : result.warnings)
        cliErr() << "warning: " << warning << Qt::endl;
    if (!result.ok) {
        cliErr() << "error: " << result.errorText << Qt::endl;
        return CliExit::Failed;
    }
    cliOut() << result.outputPath << Qt::endl;
    return CliExit::Success;
}
