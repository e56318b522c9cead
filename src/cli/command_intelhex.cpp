#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QCommandLineParser>
#include <QTextStream>

#include "assembly/assemblymessages.h"
#include "assembly/intelhexjoin.h"

namespace {

constexpr int MaximumSources = 6;

} // namespace

// quillon-cli intelhex --out DIR --name NAME FILE...: joins the Intel HEX files in the order given
// into DIR/NAME.hex, as the IntelHEX tab's "Сборка" does.
int runIntelHexCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Join up to six Intel HEX files, in the order given, into DIR/NAME.hex: each file's "
                       "records without its end-of-file record, then one end-of-file record. Every file is "
                       "checked first; files that put different bytes at the same address are refused. "
                       "Prints the image's path."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("an Intel HEX file (up to six)"),
                                 QStringLiteral("FILE..."));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("the output directory"),
                                       QStringLiteral("DIR"));
    const QCommandLineOption nameOption(QStringLiteral("name"),
                                        QStringLiteral("the image's name; \".hex\" is added"),
                                        QStringLiteral("NAME"));
    parser.addOption(outOption);
    parser.addOption(nameOption);

    if (!parser.parse(arguments)) {
        cliErr() << parser.errorText() << '\n' << parser.helpText() << Qt::flush;
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        cliOut() << parser.helpText() << Qt::flush;
        return CliExit::Success;
    }

    IntelHexJoinJob job;
    job.sources = parser.positionalArguments();
    if (parser.isSet(outOption))
        job.outputDir = parser.value(outOption);
    if (parser.isSet(nameOption))
        job.fileName = parser.value(nameOption) + QStringLiteral(".hex");

    QString usageError;
    if (job.sources.size() > MaximumSources)
        usageError = QStringLiteral("at most %1 files are joined, %2 given")
                         .arg(MaximumSources)
                         .arg(job.sources.size());
    else if (job.sources.isEmpty())
        usageError = QStringLiteral("no FILE given");
    else if (job.outputDir.isEmpty())
        usageError = QStringLiteral("--out DIR is missing");
    else if (!parser.isSet(nameOption))
        usageError = QStringLiteral("--name NAME is missing");
    if (!usageError.isEmpty()) {
        cliErr() << "quillon-cli intelhex: " << usageError << '\n' << parser.helpText() << Qt::flush;
        return CliExit::Usage;
    }

    CliReporter reporter;
    const IntelHexJoinResult result = joinIntelHexFiles(job, reporter);
    if (!result.succeeded())
        return CliExit::Failed;
    reporter.message(MessageKind::Information, ReportTitle::complete(), AssemblyText::finished());
    cliOut() << result.imagePath << Qt::endl;
    return CliExit::Success;
}
