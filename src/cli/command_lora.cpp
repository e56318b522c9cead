#include <optional>

#include <QCommandLineParser>

#include "clireporter.h"
#include "commandline.h"
#include "commands.h"
#include "imageplan.h"
#include "jobrun.h"
#include "offsetparser.h"
#include "settingsfile.h"
#include "settingskeys.h"
#include "sourcescan.h"
#include "tabjobs.h"
#include "tabsettings.h"

namespace {

// An offset option and the field of the settings it gives.
struct OffsetOption {
    QCommandLineOption option;
    QString LoRaSettings::*text;
    QString key;
};

// The files of one saved source directory that the window would take, with the window's one
// warning for what it left out.
QStringList acceptedSourceFiles(const QString &directory, const QString &filter, Reporter &reporter)
{
    JobRun run;
    const SourceScan scan = scanLoRaSource(directory, filter, run);
    if (!scan.problems.isEmpty())
        reporter.message(MessageKind::Warning, ReportTitle::warning(),
                         SourceText::scanProblems(scan.problems));
    QStringList accepted;
    for (const ScannedSourceFile &file : scan.files) {
        if (file.accepted)
            accepted << file.path;
    }
    return accepted;
}

// The options of "lora", with their help texts.
struct LoRaOptions {
    QCommandLineOption out, boot, loraMac, app, name, settingsFile, bootFilter, loraMacFilter, appFilter;
    QList<OffsetOption> offsets;
    QCommandLineOption flashSize;
};

QCommandLineOption fileOption(const char *name, const char *help)
{
    return {QLatin1String(name), QLatin1String(help), QStringLiteral("FILE")};
}

QCommandLineOption filterOption(const char *name, const char *directory, const QString &defaultFilter)
{
    return {QLatin1String(name),
            QStringLiteral("Files searched for in the saved %1 directory (default %2).")
                .arg(QLatin1String(directory), defaultFilter),
            QStringLiteral("PATTERN"), defaultFilter};
}

OffsetOption offsetOption(const char *name, const char *help, QString LoRaSettings::*text, const QString &key)
{
    return {{QLatin1String(name), QLatin1String(help), QStringLiteral("HEX")}, text, key};
}

QList<OffsetOption> loraOffsetOptions()
{
    return {
        offsetOption("boot-offset", "Where the bootloader goes (default 0).", &LoRaSettings::offsetWrtBoot,
                     SettingsKeys::loraOffsetWrtBoot()),
        offsetOption("loramac-offset", "Where the LoRaMAC image goes (default 0).",
                     &LoRaSettings::offsetWrtFmwLora, SettingsKeys::loraOffsetWrtFmwLora()),
        offsetOption("app-offset", "Where the application goes (default 0).", &LoRaSettings::offsetWrtFmw,
                     SettingsKeys::loraOffsetWrtFmw()),
        offsetOption("region-offset",
                     "Offset of the 32-byte version and region field inside the LoRaMAC file (default 0).",
                     &LoRaSettings::offsetSrchNameLora, SettingsKeys::loraOffsetSrchNameLora()),
        offsetOption("fw-offset",
                     "Offset of the 16-byte firmware name field inside the application file (default 0).",
                     &LoRaSettings::offsetSrchNameFmw, SettingsKeys::loraOffsetSrchNameFmw()),
    };
}

LoRaOptions loraOptions()
{
    const LoRaSettings defaults = LoRaSettings::defaults();
    return {
        {QStringLiteral("out"), QStringLiteral("Output directory."), QStringLiteral("DIR")},
        fileOption("boot", "Bootloader file."),
        fileOption("loramac", "LoRaMAC file; repeat for several."),
        fileOption("app", "Application file; repeat for several."),
        {QStringLiteral("name"),
         QStringLiteral("Output name template (default %1).").arg(defaults.templateName),
         QStringLiteral("TEMPLATE")},
        fileOption("settings",
                   "A saved LoRa template or config.conf: its directories are searched for the files "
                   "not given by an option, and its offsets, output directory and name template are "
                   "used where no option gives them."),
        filterOption("boot-filter", "bootloader", defaults.bootFilter),
        filterOption("loramac-filter", "LoRaMAC", defaults.loraMacFilter),
        filterOption("app-filter", "application", defaults.appFilter),
        loraOffsetOptions(),
        CommandLine::flashSizeOption(),
    };
}

void addOptions(QCommandLineParser &parser, const LoRaOptions &o)
{
    for (const QCommandLineOption &option : {o.out, o.boot, o.loraMac, o.app, o.name, o.settingsFile,
                                             o.bootFilter, o.loraMacFilter, o.appFilter, o.flashSize})
        parser.addOption(option);
    for (const OffsetOption &offset : o.offsets)
        parser.addOption(offset.option);
}

// Every option given, over the starting settings; false when the flash size is refused.
bool applyOptions(CommandLine &commandLine, const LoRaOptions &o, LoRaSettings &settings)
{
    const QCommandLineParser &parser = commandLine.parser();
    for (const OffsetOption &offset : o.offsets) {
        if (parser.isSet(offset.option))
            settings.*offset.text = parser.value(offset.option);
    }
    if (parser.isSet(o.out))
        settings.pathToRelease = parser.value(o.out);
    if (parser.isSet(o.name))
        settings.templateName = parser.value(o.name);
    settings.bootFilter = parser.value(o.bootFilter);
    settings.loraMacFilter = parser.value(o.loraMacFilter);
    settings.appFilter = parser.value(o.appFilter);
    return commandLine.readFlashSize(o.flashSize, settings.flashSize);
}

// Without a settings file only an option can name what the job needs; from one, what is missing is
// the job's to report ("nothing to assemble"), as the window does.
std::optional<int> requiredOptionMissing(CommandLine &commandLine, const LoRaOptions &o, bool forMap)
{
    const QCommandLineParser &parser = commandLine.parser();
    const struct {
        bool missing;
        const char *option;
    } required[] = {{!forMap && parser.value(o.out).isEmpty(), "--out"},
                    {parser.value(o.boot).isEmpty(), "--boot"},
                    {parser.values(o.loraMac).isEmpty(), "--loramac"},
                    {parser.values(o.app).isEmpty(), "--app"}};
    for (const auto &check : required) {
        if (check.missing)
            return commandLine.usageError(QStringLiteral("%1 is required").arg(QLatin1String(check.option)));
    }
    return std::nullopt;
}

// The files an option names, or those the saved directory holds, found as the window finds them.
LoRaSourceFiles sourceFiles(const QCommandLineParser &parser, const LoRaOptions &o,
                            const LoRaSettings &settings)
{
    const bool fromSettings = parser.isSet(o.settingsFile);
    CliReporter reporter;
    const auto files = [&](const QCommandLineOption &option, const QString &directory,
                           const QString &filter) {
        if (parser.isSet(option))
            return parser.values(option);
        return fromSettings ? acceptedSourceFiles(directory, filter, reporter) : QStringList();
    };
    LoRaSourceFiles found;
    // A bootloader named twice is the last one named.
    found.boot = parser.isSet(o.boot) ? QStringList{parser.value(o.boot)}
                                      : files(o.boot, settings.pathToBoot, settings.bootFilter);
    found.loraMacs = files(o.loraMac, settings.pathToLoRa, settings.loraMacFilter);
    found.apps = files(o.app, settings.pathToApp, settings.appFilter);
    return found;
}

// An offset that is no number, named as the user gave it: the option, or the saved field.
int invalidOffsetError(CommandLine &commandLine, const LoRaOptions &o, const InvalidOffset &invalid)
{
    const QCommandLineParser &parser = commandLine.parser();
    QString field = CommandLine::savedField(invalid.group, invalid.key, parser.value(o.settingsFile));
    for (const OffsetOption &offset : o.offsets) {
        if (offset.key == invalid.key && parser.isSet(offset.option))
            field = QStringLiteral("--") + offset.option.names().first();
    }
    return commandLine.usageError(invalid.message(field));
}

} // namespace

std::optional<int> readLoRaJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                               LoRaJob &job)
{
    const LoRaOptions options = loraOptions();
    QCommandLineParser &parser = commandLine.parser();
    addOptions(parser, options);
    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    if (!parser.positionalArguments().isEmpty())
        return commandLine.usageError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    // The window's defaults, or what a saved template or config.conf holds; then every option given.
    const std::optional<LoRaSettings> starting =
        commandLine.startingSettings<LoRaSettings>(options.settingsFile);
    if (!starting)
        return CliExit::Usage;
    LoRaSettings settings = *starting;
    if (!applyOptions(commandLine, options, settings))
        return CliExit::Usage;
    if (!parser.isSet(options.settingsFile)) {
        if (const std::optional<int> exitCode = requiredOptionMissing(commandLine, options, forMap))
            return exitCode;
    }
    const JobFromSettings<LoRaJob> made = loraJobFrom(settings, sourceFiles(parser, options, settings));
    if (!made.ok())
        return invalidOffsetError(commandLine, options, *made.invalidOffset);
    job = made.job;
    return std::nullopt;
}

int runLoRaCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("lora"),
        QStringLiteral(
            "Builds one image per LoRaMAC and application file: the bootloader, the LoRaMAC image and "
            "the application, each at its offset (hexadecimal), named from the template whose "
            "words lora, region and fw are filled from the name fields inside the images."));
    LoRaJob job;
    if (const std::optional<int> exitCode = readLoRaJob(commandLine, arguments, false, job))
        return *exitCode;

    CliReporter reporter;
    return planAndBuildImages([&job](JobRun &run) { return planImages(job, run); }, reporter);
}
