#include "clireporter.h"
#include "commandline.h"
#include "commands.h"
#include "imageplan.h"
#include "jobrun.h"
#include "tabjobs.h"

namespace {

constexpr int MaximumSources = 6;

// The options of "intelhex", with their help texts.
struct IntelHexOptions {
    QCommandLineOption out, name, settings, flashSize, flashBase;
};

IntelHexOptions intelHexOptions()
{
    return {
        {QStringLiteral("out"), QStringLiteral("the output directory"), QStringLiteral("DIR")},
        {QStringLiteral("name"), QStringLiteral("the image's name; \".hex\" is added"),
         QStringLiteral("NAME")},
        {QStringLiteral("settings"),
         QStringLiteral("take the checked files, the output directory and the name from a saved "
                        "\".IntelHEX\" template or a config.conf; FILE arguments, --out and --name "
                        "override them"),
         QStringLiteral("FILE")},
        CommandLine::flashSizeOption(),
        CommandLine::flashBaseOption(),
    };
}

// Every option given, over the starting settings; false when the flash size or base is refused.
// The files given take the sources in their order, ticked; the other sources take no part.
bool applyOptions(CommandLine &commandLine, const IntelHexOptions &o, const QStringList &files,
                  IntelHexSettings &settings)
{
    const QCommandLineParser &parser = commandLine.parser();
    if (!files.isEmpty()) {
        for (int slot = 0; slot < MaximumSources; ++slot) {
            settings.setSourceInOrder(slot, files.value(slot));
            settings.enabled[slot] = slot < files.size();
        }
    }
    if (parser.isSet(o.out))
        settings.pathRelease = parser.value(o.out);
    if (parser.isSet(o.name))
        settings.templateName = parser.value(o.name);
    return commandLine.readFlashSize(o.flashSize, settings.flashSize) &&
           commandLine.readFlashBase(o.flashBase, settings.flashBase);
}

// Without stored settings every part of the job comes from the command line; with them an empty
// selection is the template's own state and is reported as the window reports it. A map writes
// nothing, and needs no output.
std::optional<int> requiredOptionMissing(CommandLine &commandLine, const IntelHexOptions &o, bool forMap)
{
    const QCommandLineParser &parser = commandLine.parser();
    if (parser.positionalArguments().isEmpty())
        return commandLine.usageError(QStringLiteral("no FILE given"));
    if (!forMap && !parser.isSet(o.out))
        return commandLine.usageError(QStringLiteral("--out DIR is missing"));
    if (!forMap && !parser.isSet(o.name))
        return commandLine.usageError(QStringLiteral("--name NAME is missing"));
    return std::nullopt;
}

} // namespace

std::optional<int> readIntelHexJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                                   IntelHexJoinJob &job)
{
    QCommandLineParser &parser = commandLine.parser();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("an Intel HEX file (up to six)"),
                                 QStringLiteral("FILE..."));
    const IntelHexOptions options = intelHexOptions();
    for (const QCommandLineOption &option :
         {options.out, options.name, options.settings, options.flashSize, options.flashBase})
        parser.addOption(option);
    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;

    // The window's defaults, or what a saved template or config.conf holds; then every option given.
    const std::optional<IntelHexSettings> starting =
        commandLine.startingSettings<IntelHexSettings>(options.settings);
    if (!starting)
        return CliExit::Usage;
    IntelHexSettings settings = *starting;
    const QStringList files = parser.positionalArguments();
    if (files.size() > MaximumSources)
        return commandLine.usageError(
            QStringLiteral("at most %1 files are joined, %2 given").arg(MaximumSources).arg(files.size()));
    if (!applyOptions(commandLine, options, files, settings))
        return CliExit::Usage;
    if (!parser.isSet(options.settings)) {
        if (const std::optional<int> exitCode = requiredOptionMissing(commandLine, options, forMap))
            return exitCode;
    }

    const JobFromSettings<IntelHexJoinJob> made = intelHexJobFrom(settings);
    if (!made.ok())
        return commandLine.invalidSavedField(*made.invalidOffset, parser.value(options.settings));
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
