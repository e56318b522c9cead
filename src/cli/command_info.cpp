#include "clireporter.h"
#include "commandline.h"
#include "commands.h"

#include <QTextStream>

#include "imageinfo.h"

// quillon-cli info FILE: prints what an image file holds, one "key: value" line per fact.
int runInfoCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("info"),
        QStringLiteral(
            "Show the size of FILE and the SHA-256 and CRC-32 (zlib's) of its data. The format follows "
            "the content, as convert reads it: ELF, Intel HEX, Motorola S-records or binary. For the first "
            "three the address ranges the file covers and the gaps between them are listed (inclusive, "
            "hex), with its start address (and an S-record file's header), and the sums are taken over "
            "the data bytes in address order, gaps not included. A binary file is summed whole. Images "
            "over 512 MiB are refused. When a release manifest lies beside FILE (FILE.manifest.json), the "
            "last line says whether it matches FILE; one that does not is also a warning."));
    QCommandLineParser &parser = commandLine.parser();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("the image file (binary, Intel HEX, S-records, ELF)"));
    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return commandLine.usageError(files.isEmpty() ? QStringLiteral("FILE is missing")
                                                      : QStringLiteral("one FILE at a time"));

    const Result<ImageInfo> info = inspectImage(files.first());
    if (!info) {
        for (const Problem &problem : info.problems())
            cliErr() << "quillon-cli info: " << problem.toString() << Qt::endl;
        return CliExit::Failed;
    }
    for (const Problem &warning : info->warnings)
        cliErr() << "warning: " << warning.toString() << Qt::endl;
    for (const QString &line : info->lines())
        cliOut() << line << '\n';
    cliOut() << Qt::flush;
    return CliExit::Success;
}
