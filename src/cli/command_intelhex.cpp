#include "clireporter.h"
#include "commandline.h"
#include "commands.h"
#include "imageplan.h"
#include "jobrun.h"
#include "tabjobs.h"

namespace {

constexpr int MaximumSources = 6;

} // namespace

std::optional<int> readIntelHexJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                                   IntelHexJoinJob &job)
{
    QCommandLineParser &parser = commandLine.parser();
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
    const QCommandLineOption flashSize = CommandLine::flashSizeOption();
    const QCommandLineOption flashBase = CommandLine::flashBaseOption();
    for (const QCommandLineOption &option : {outOption, nameOption, settingsOption, flashSize, flashBase})
        parser.addOption(option);

    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;

    // The window's defaults, or what a saved template or config.conf holds; then every option given.
    const std::optional<IntelHexSettings> starting =
        commandLine.startingSettings<IntelHexSettings>(settingsOption);
    if (!starting)
        return CliExit::Usage;
    IntelHexSettings settings = *starting;
    const bool fromSettings = parser.isSet(settingsOption);
    const QStringList files = parser.positionalArguments();
    if (files.size() > MaximumSources)
        return commandLine.usageError(
            QStringLiteral("at most %1 files are joined, %2 given").arg(MaximumSources).arg(files.size()));
    // The files given take the sources in their order, ticked; the other sources take no part.
    if (!files.isEmpty()) {
        for (int slot = 0; slot < MaximumSources; ++slot) {
            settings.setSourceInOrder(slot, files.value(slot));
            settings.enabled[slot] = slot < files.size();
        }
    }
    if (parser.isSet(outOption))
        settings.pathRelease = parser.value(outOption);
    if (parser.isSet(nameOption))
        settings.templateName = parser.value(nameOption);
    if (!commandLine.readFlashSize(flashSize, settings.flashSize) ||
        !commandLine.readFlashBase(flashBase, settings.flashBase))
        return CliExit::Usage;

    // Without stored settings every part of the job comes from the command line; with them an empty
    // selection is the template's own state and is reported as the window reports it. A map writes
    // nothing, and needs no output.
    if (!fromSettings && files.isEmpty())
        return commandLine.usageError(QStringLiteral("no FILE given"));
    if (!forMap && !fromSettings && !parser.isSet(outOption))
        return commandLine.usageError(QStringLiteral("--out DIR is missing"));
    if (!forMap && !fromSettings && !parser.isSet(nameOption))
        return commandLine.usageError(QStringLiteral("--name NAME is missing"));

    const JobFromSettings<IntelHexJoinJob> made = intelHexJobFrom(settings);
    if (!made.ok())
        return commandLine.invalidSavedField(*made.invalidOffset, parser.value(settingsOption));
    job = made.job;
    return std::nullopt;
}

// quillon-cli intelhex [--settings FILE] --out DIR --name NAME FILE...: joins the Intel HEX files in
// the order given into DIR/NAME.hex, as the IntelHEX tab's "Сборка" does.
int runIntelHexCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("intelhex"),
        QStringLiteral("Join up to six Intel HEX files, in the order given, into DIR/NAME.hex: each file's "
                       "records without its end-of-file record, then one end-of-file record. Every file is "
                       "checked first; files that put different bytes at the same address are refused. "
                       "Prints the image's path."));
    IntelHexJoinJob job;
    if (const std::optional<int> exitCode = readIntelHexJob(commandLine, arguments, false, job))
        return *exitCode;

    CliReporter reporter;
    return planAndBuildImages([&job](JobRun &run) { return planImages(job, run); }, reporter);
}
