#include "cli/clireporter.h"
#include "cli/commandline.h"
#include "cli/commands.h"

#include <QTextStream>

#include "assembly/imageinfo.h"

// quillon-cli info FILE: prints what a .bin or .hex file holds, one "key: value" line per fact.
int runInfoCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("info"),
        QStringLiteral(
            "Show the size of FILE and the SHA-256 and CRC-32 (zlib's) of its data. A file whose "
            "first non-empty line is an Intel HEX record is read as Intel HEX (as convert reads it): "
            "then the address ranges it "
            "covers and the gaps between them are listed (inclusive, hex), with its start address, "
            "and the sums are taken over the data bytes in address order, gaps not included. Any "
            "other file is raw binary and summed whole."));
    QCommandLineParser &parser = commandLine.parser();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("the .bin or .hex file"));
    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return commandLine.usageError(files.isEmpty() ? QStringLiteral("FILE is missing")
                                                      : QStringLiteral("one FILE at a time"));

    QString error;
    const std::optional<ImageInfo> info = inspectImage(files.first(), &error);
    if (!info) {
        cliErr() << "quillon-cli info: " << error << Qt::endl;
        return CliExit::Failed;
    }
    for (const HexDiagnostic &warning : info->warnings)
        cliErr() << "warning: " << warning.text() << Qt::endl;
    for (const QString &line : info->lines())
        cliOut() << line << '\n';
    cliOut() << Qt::flush;
    return CliExit::Success;
}
