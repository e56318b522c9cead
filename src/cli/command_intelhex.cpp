#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include "assembly/assemblymessages.h"
#include "assembly/intelhexjoin.h"
#include "settings/settingsfile.h"
#include "settings/tabsettings.h"

namespace {

constexpr int MaximumSources = 6;

} // namespace

// quillon-cli intelhex [--settings FILE] --out DIR --name NAME FILE...: joins the Intel HEX files in
// the order given into DIR/NAME.hex, as the IntelHEX tab's "Сборка" does.
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
    const QCommandLineOption settingsOption(
        QStringLiteral("settings"),
        QStringLiteral("take the checked files, the output directory and the name from a saved "
                       "\".IntelHEX\" template or a config.conf; FILE arguments, --out and --name "
                       "override them"),
        QStringLiteral("FILE"));
    parser.addOption(outOption);
    parser.addOption(nameOption);
    parser.addOption(settingsOption);

    if (!parser.parse(arguments)) {
        cliErr() << parser.errorText() << '\n' << parser.helpText() << Qt::flush;
        return CliExit::Usage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        cliOut() << parser.helpText() << Qt::flush;
        return CliExit::Success;
    }

    IntelHexJoinJob job;
    QString name;
    const bool fromSettings = parser.isSet(settingsOption);
    if (fromSettings) {
        const QString settingsPath = parser.value(settingsOption);
        if (!QFileInfo(settingsPath).isFile()) {
            cliErr() << "quillon-cli intelhex: cannot read the settings file " << settingsPath << Qt::endl;
            return CliExit::Failed;
        }
        SettingsFile::Reader reader(settingsPath);
        if (!reader.wellFormed()) {
            cliErr() << "quillon-cli intelhex: " << settingsPath << " is not a valid settings file"
                     << Qt::endl;
            return CliExit::Failed;
        }
        const IntelHexSettings stored = IntelHexSettings::load(reader.store());
        const std::array<QString, 6> sources = stored.sourcesInOrder();
        for (size_t slot = 0; slot < sources.size(); ++slot) {
            if (stored.enabled[slot])
                job.sources << sources[slot];
        }
        job.outputDir = stored.pathRelease;
        name = stored.templateName;
    }
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty())
        job.sources = files;
    if (parser.isSet(outOption))
        job.outputDir = parser.value(outOption);
    if (parser.isSet(nameOption))
        name = parser.value(nameOption);
    job.fileName = name + QStringLiteral(".hex");

    // Without stored settings every part of the job comes from the command line; with them an empty
    // selection is the template's own state and is reported as the window reports it.
    QString usageError;
    if (files.size() > MaximumSources)
        usageError =
            QStringLiteral("at most %1 files are joined, %2 given").arg(MaximumSources).arg(files.size());
    else if (!fromSettings && files.isEmpty())
        usageError = QStringLiteral("no FILE given");
    else if (!fromSettings && !parser.isSet(outOption))
        usageError = QStringLiteral("--out DIR is missing");
    else if (!fromSettings && !parser.isSet(nameOption))
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
