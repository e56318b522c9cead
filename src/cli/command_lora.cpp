#include <optional>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include "assembly/loraassembler.h"
#include "assembly/offsetparser.h"
#include "cli/clireporter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "discovery/sourcefiles.h"
#include "settings/settingsfile.h"
#include "settings/settingskeys.h"
#include "settings/tabsettings.h"

namespace {

// An offset option, and where a saved template keeps the same offset.
struct OffsetOption {
    QCommandLineOption option;
    qint64 LoRaJob::*offset;
    QString LoRaSettings::*savedText;
    QString savedKey;
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

int runLoRaCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("lora"),
        QStringLiteral(
            "Builds one image per LoRaMAC and application file: the bootloader, the LoRaMAC image and "
            "the application, each at its offset (hexadecimal), named from the template whose "
            "words lora, region and fw are filled from the name fields inside the images."));
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
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Output name template (default region_lora_fw)."),
                                  QStringLiteral("TEMPLATE"));
    const QCommandLineOption settingsFile(
        QStringLiteral("settings"),
        QStringLiteral("A saved LoRa template or config.conf: its directories are searched for the files not "
                       "given by an option, and its offsets, output directory and name template are used "
                       "where no option gives them."),
        QStringLiteral("FILE"));
    const QCommandLineOption bootFilter(QStringLiteral("boot-filter"),
                                        QStringLiteral("Files searched for in the saved bootloader directory "
                                                       "(default *.bin)."),
                                        QStringLiteral("PATTERN"), QStringLiteral("*.bin"));
    const QCommandLineOption loraMacFilter(QStringLiteral("loramac-filter"),
                                           QStringLiteral("Files searched for in the saved LoRaMAC directory "
                                                          "(default *.hex)."),
                                           QStringLiteral("PATTERN"), QStringLiteral("*.hex"));
    const QCommandLineOption appFilter(QStringLiteral("app-filter"),
                                       QStringLiteral("Files searched for in the saved application directory "
                                                      "(default *.bin)."),
                                       QStringLiteral("PATTERN"), QStringLiteral("*.bin"));
    const OffsetOption offsets[] = {
        {{QStringLiteral("boot-offset"), QStringLiteral("Where the bootloader goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::bootOffset,
         &LoRaSettings::offsetWrtBoot,
         SettingsKeys::loraOffsetWrtBoot()},
        {{QStringLiteral("loramac-offset"), QStringLiteral("Where the LoRaMAC image goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::loraMacOffset,
         &LoRaSettings::offsetWrtFmwLora,
         SettingsKeys::loraOffsetWrtFmwLora()},
        {{QStringLiteral("app-offset"), QStringLiteral("Where the application goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::appOffset,
         &LoRaSettings::offsetWrtFmw,
         SettingsKeys::loraOffsetWrtFmw()},
        {{QStringLiteral("region-offset"),
          QStringLiteral(
              "Offset of the 32-byte version and region field inside the LoRaMAC file (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::regionFieldOffset,
         &LoRaSettings::offsetSrchNameLora,
         SettingsKeys::loraOffsetSrchNameLora()},
        {{QStringLiteral("fw-offset"),
          QStringLiteral(
              "Offset of the 16-byte firmware name field inside the application file (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::fwFieldOffset,
         &LoRaSettings::offsetSrchNameFmw,
         SettingsKeys::loraOffsetSrchNameFmw()},
    };
    QCommandLineParser &parser = commandLine.parser();
    for (const QCommandLineOption &option :
         {out, boot, loraMac, app, name, settingsFile, bootFilter, loraMacFilter, appFilter})
        parser.addOption(option);
    for (const OffsetOption &offset : offsets)
        parser.addOption(offset.option);

    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    if (!parser.positionalArguments().isEmpty())
        return commandLine.usageError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    CliReporter reporter;
    LoRaJob job;
    job.nameTemplate = QStringLiteral("region_lora_fw");
    std::optional<LoRaSettings> saved;
    const QString settingsPath = parser.value(settingsFile);
    if (parser.isSet(settingsFile)) {
        saved = commandLine.loadSettings<LoRaSettings>(settingsPath);
        if (!saved)
            return CliExit::Usage;
        job.outputDir = saved->pathToRelease;
        job.nameTemplate = saved->templateName;
    }

    for (const OffsetOption &offset : offsets) {
        QString field;
        QString text;
        if (parser.isSet(offset.option)) {
            field = QStringLiteral("--") + offset.option.names().first();
            text = parser.value(offset.option);
        } else if (saved) {
            field = SettingsKeys::offsetsGroup() + QLatin1Char('/') + offset.savedKey + QStringLiteral(" (") +
                    settingsPath + QLatin1Char(')');
            text = (*saved).*offset.savedText;
        }
        const std::optional<qint64> value = parseOffset(text);
        if (!value)
            return commandLine.usageError(invalidOffsetMessage(field, text));
        job.*offset.offset = *value;
    }
    if (parser.isSet(out))
        job.outputDir = parser.value(out);
    if (parser.isSet(name))
        job.nameTemplate = parser.value(name);

    if (parser.isSet(boot))
        job.bootPath = parser.value(boot);
    else if (saved)
        job.bootPath = acceptedSourceFiles(saved->pathToBoot, parser.value(bootFilter), reporter).value(0);
    if (parser.isSet(loraMac))
        job.loraMacPaths = parser.values(loraMac);
    else if (saved)
        job.loraMacPaths = acceptedSourceFiles(saved->pathToLoRa, parser.value(loraMacFilter), reporter);
    if (parser.isSet(app))
        job.appPaths = parser.values(app);
    else if (saved)
        job.appPaths = acceptedSourceFiles(saved->pathToApp, parser.value(appFilter), reporter);

    // From a settings file, what is missing is the job's to report ("nothing to assemble"), as the
    // window does; without one, only an option can give it.
    if (!saved) {
        const struct {
            bool missing;
            const char *option;
        } required[] = {{job.outputDir.isEmpty(), "--out"},
                        {job.bootPath.isEmpty(), "--boot"},
                        {job.loraMacPaths.isEmpty(), "--loramac"},
                        {job.appPaths.isEmpty(), "--app"}};
        for (const auto &check : required) {
            if (check.missing)
                return commandLine.usageError(
                    QStringLiteral("%1 is required").arg(QLatin1String(check.option)));
        }
    }

    const LoRaResult result = assembleLoRaImages(job, reporter);
    for (const LoRaImage &image : result.images)
        cliOut() << image.path << '\n';
    cliOut().flush();
    return result.succeeded ? CliExit::Success : CliExit::Failed;
}
