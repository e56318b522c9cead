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
#include "sourcefiles.h"
#include "tabjobs.h"
#include "tabsettings.h"

namespace {

// An offset option and the field of the settings it gives.
struct OffsetOption {
    QCommandLineOption option;
    QString LoRaSettings::*text;
    QString key;
};

// The files of one saved source directory that the window would take.
QStringList acceptedSourceFiles(const QString &directory, const QString &filter, Reporter &reporter)
{
    QStringList accepted;
    for (const ScannedSourceFile &file : scanLoRaSource(directory, filter, reporter)) {
        if (file.accepted)
            accepted << file.path;
    }
    return accepted;
}

} // namespace

std::optional<int> readLoRaJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                               LoRaJob &job)
{
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Output directory."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption boot(QStringLiteral("boot"), QStringLiteral("Bootloader file."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption loraMac(QStringLiteral("loramac"),
                                     QStringLiteral("LoRaMAC file; repeat for several."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption app(QStringLiteral("app"),
                                 QStringLiteral("Application file; repeat for several."),
                                 QStringLiteral("FILE"));
    const LoRaSettings defaults = LoRaSettings::defaults();
    const QCommandLineOption name(
        QStringLiteral("name"),
        QStringLiteral("Output name template (default %1).").arg(defaults.templateName),
        QStringLiteral("TEMPLATE"));
    const QCommandLineOption settingsFile(
        QStringLiteral("settings"),
        QStringLiteral("A saved LoRa template or config.conf: its directories are searched for the files not "
                       "given by an option, and its offsets, output directory and name template are used "
                       "where no option gives them."),
        QStringLiteral("FILE"));
    const QCommandLineOption bootFilter(QStringLiteral("boot-filter"),
                                        QStringLiteral("Files searched for in the saved bootloader directory "
                                                       "(default %1).")
                                            .arg(defaults.bootFilter),
                                        QStringLiteral("PATTERN"), defaults.bootFilter);
    const QCommandLineOption loraMacFilter(QStringLiteral("loramac-filter"),
                                           QStringLiteral("Files searched for in the saved LoRaMAC directory "
                                                          "(default %1).")
                                               .arg(defaults.loraMacFilter),
                                           QStringLiteral("PATTERN"), defaults.loraMacFilter);
    const QCommandLineOption appFilter(QStringLiteral("app-filter"),
                                       QStringLiteral("Files searched for in the saved application directory "
                                                      "(default %1).")
                                           .arg(defaults.appFilter),
                                       QStringLiteral("PATTERN"), defaults.appFilter);
    const OffsetOption offsets[] = {
        {{QStringLiteral("boot-offset"), QStringLiteral("Where the bootloader goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaSettings::offsetWrtBoot,
         SettingsKeys::loraOffsetWrtBoot()},
        {{QStringLiteral("loramac-offset"), QStringLiteral("Where the LoRaMAC image goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaSettings::offsetWrtFmwLora,
         SettingsKeys::loraOffsetWrtFmwLora()},
        {{QStringLiteral("app-offset"), QStringLiteral("Where the application goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaSettings::offsetWrtFmw,
         SettingsKeys::loraOffsetWrtFmw()},
        {{QStringLiteral("region-offset"),
          QStringLiteral(
              "Offset of the 32-byte version and region field inside the LoRaMAC file (default 0)."),
          QStringLiteral("HEX")},
         &LoRaSettings::offsetSrchNameLora,
         SettingsKeys::loraOffsetSrchNameLora()},
        {{QStringLiteral("fw-offset"),
          QStringLiteral(
              "Offset of the 16-byte firmware name field inside the application file (default 0)."),
          QStringLiteral("HEX")},
         &LoRaSettings::offsetSrchNameFmw,
         SettingsKeys::loraOffsetSrchNameFmw()},
    };
    const QCommandLineOption flashSize = CommandLine::flashSizeOption();
    QCommandLineParser &parser = commandLine.parser();
    for (const QCommandLineOption &option :
         {out, boot, loraMac, app, name, settingsFile, bootFilter, loraMacFilter, appFilter, flashSize})
        parser.addOption(option);
    for (const OffsetOption &offset : offsets)
        parser.addOption(offset.option);

    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    if (!parser.positionalArguments().isEmpty())
        return commandLine.usageError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    // The window's defaults, or what a saved template or config.conf holds; then every option given.
    const std::optional<LoRaSettings> starting = commandLine.startingSettings<LoRaSettings>(settingsFile);
    if (!starting)
        return CliExit::Usage;
    LoRaSettings settings = *starting;
    const bool fromSettings = parser.isSet(settingsFile);
    const QString settingsPath = parser.value(settingsFile);
    for (const OffsetOption &offset : offsets) {
        if (parser.isSet(offset.option))
            settings.*offset.text = parser.value(offset.option);
    }
    if (parser.isSet(out))
        settings.pathToRelease = parser.value(out);
    if (parser.isSet(name))
        settings.templateName = parser.value(name);
    settings.bootFilter = parser.value(bootFilter);
    settings.loraMacFilter = parser.value(loraMacFilter);
    settings.appFilter = parser.value(appFilter);
    if (!commandLine.readFlashSize(flashSize, settings.flashSize))
        return CliExit::Usage;

    // From a settings file, what is missing is the job's to report ("nothing to assemble"), as the
    // window does; without one, only an option can give it.
    if (!fromSettings) {
        const struct {
            bool missing;
            const char *option;
        } required[] = {{!forMap && parser.value(out).isEmpty(), "--out"},
                        {parser.value(boot).isEmpty(), "--boot"},
                        {parser.values(loraMac).isEmpty(), "--loramac"},
                        {parser.values(app).isEmpty(), "--app"}};
        for (const auto &check : required) {
            if (check.missing)
                return commandLine.usageError(
                    QStringLiteral("%1 is required").arg(QLatin1String(check.option)));
        }
    }

    // The files an option names, or those the saved directory holds, found as the window finds them.
    CliReporter reporter;
    const auto sourceFiles = [&](const QCommandLineOption &option, const QString &directory,
                                 const QString &filter) {
        if (parser.isSet(option))
            return parser.values(option);
        return fromSettings ? acceptedSourceFiles(directory, filter, reporter) : QStringList();
    };
    LoRaSourceFiles found;
    // A bootloader named twice is the last one named.
    found.boot = parser.isSet(boot) ? QStringList{parser.value(boot)}
                                    : sourceFiles(boot, settings.pathToBoot, settings.bootFilter);
    found.loraMacs = sourceFiles(loraMac, settings.pathToLoRa, settings.loraMacFilter);
    found.apps = sourceFiles(app, settings.pathToApp, settings.appFilter);

    const JobFromSettings<LoRaJob> made = loraJobFrom(settings, found);
    if (!made.ok()) {
        const InvalidOffset &invalid = *made.invalidOffset;
        QString field = CommandLine::savedField(invalid.group, invalid.key, settingsPath);
        for (const OffsetOption &offset : offsets) {
            if (offset.key == invalid.key && parser.isSet(offset.option))
                field = QStringLiteral("--") + offset.option.names().first();
        }
        return commandLine.usageError(invalid.message(field));
    }
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
