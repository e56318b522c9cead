#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QCommandLineParser>
#include <QTextStream>

#include "discovery/sourcefiles.h"
#include "hex/converter.h"

namespace {

bool parseHexOffset(QString text, quint64 *offset)
{
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    bool ok = false;
    *offset = text.toULongLong(&ok, 16);
    return ok && !text.isEmpty();
}

} // namespace

int runConvertCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts an Intel HEX file to a flat binary (from address 0, gaps 0xFF) or a binary file "
        "to Intel HEX. The direction follows the file's content."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("the file to convert"));
    const QCommandLineOption offsetOption(
        QStringLiteral("offset"), QStringLiteral("load address of a binary input, hexadecimal (default 0)"),
        QStringLiteral("HEX"));
    const QCommandLineOption outputOption(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("output file (default: beside the input, .bin <-> .hex)"), QStringLiteral("OUTPUT"));
    parser.addOption(offsetOption);
    parser.addOption(outputOption);

    if (!parser.parse(arguments)) {
        cliErr() << "quillon-cli convert: " << parser.errorText() << Qt::endl;
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        cliOut() << parser.helpText();
        cliOut().flush();
        return CliExit::Success;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        cliErr() << "quillon-cli convert: expected exactly one FILE\n" << parser.helpText();
        cliErr().flush();
        return CliExit::Usage;
    }
    quint64 offset = 0;
    if (parser.isSet(offsetOption) && !parseHexOffset(parser.value(offsetOption), &offset)) {
        cliErr() << "quillon-cli convert: --offset takes a hexadecimal number, not \""
                 << parser.value(offsetOption) << "\"" << Qt::endl;
        return CliExit::Usage;
    }

    const QString input = files.first();
    ConversionOptions options;
    options.outputPath = parser.value(outputOption);
    ConversionResult result;
    if (isIntelHexFile(input)) {
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
