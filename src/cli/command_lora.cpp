#include <optional>

#include <QCommandLineParser>
#include <QTextStream>

#include "assembly/loraassembler.h"
#include "assembly/offsetparser.h"
#include "cli/clireporter.h"
#include "cli/commands.h"

namespace {

const QString CommandName = QStringLiteral("quillon-cli lora");

struct OffsetOption {
    QCommandLineOption option;
    qint64 LoRaJob::*offset;
};

int usageError(const QString &text)
{
    cliErr() << CommandName << ": " << text << "\nRun \"" << CommandName << " --help\" for its options."
             << Qt::endl;
    return CliExit::Usage;
}

// The parser names the executable only; the help names the command too.
QString helpText(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    const qsizetype firstLineEnd = text.indexOf(QLatin1Char('\n'));
    return QStringLiteral("Usage: ") + CommandName + QStringLiteral(" [options]") + text.mid(firstLineEnd);
}

} // namespace

int runLoRaCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Builds one image per LoRaMAC and application file: the bootloader, the LoRaMAC image and "
        "the application, each at its offset (hexadecimal), named from the template whose "
        "words lora, region and fw are filled from the name fields inside the images."));
    const QCommandLineOption help(QStringList{"h", "help"}, QStringLiteral("Show this help."));
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
    const OffsetOption offsets[] = {
        {{QStringLiteral("boot-offset"), QStringLiteral("Where the bootloader goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::bootOffset},
        {{QStringLiteral("loramac-offset"), QStringLiteral("Where the LoRaMAC image goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::loraMacOffset},
        {{QStringLiteral("app-offset"), QStringLiteral("Where the application goes (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::appOffset},
        {{QStringLiteral("region-offset"),
          QStringLiteral(
              "Offset of the 32-byte version and region field inside the LoRaMAC file (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::regionFieldOffset},
        {{QStringLiteral("fw-offset"),
          QStringLiteral(
              "Offset of the 16-byte firmware name field inside the application file (default 0)."),
          QStringLiteral("HEX")},
         &LoRaJob::fwFieldOffset},
    };
    parser.addOption(help);
    for (const QCommandLineOption &option : {out, boot, loraMac, app, name})
        parser.addOption(option);
    for (const OffsetOption &offset : offsets)
        parser.addOption(offset.option);

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        cliOut() << helpText(parser) << Qt::flush;
        return CliExit::Success;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    LoRaJob job;
    job.nameTemplate = QStringLiteral("region_lora_fw");
    for (const OffsetOption &offset : offsets) {
        if (!parser.isSet(offset.option))
            continue;
        const QString field = QStringLiteral("--") + offset.option.names().first();
        const std::optional<qint64> value = parseOffset(parser.value(offset.option));
        if (!value)
            return usageError(invalidOffsetMessage(field, parser.value(offset.option)));
        job.*offset.offset = *value;
    }
    if (parser.isSet(out))
        job.outputDir = parser.value(out);
    if (parser.isSet(boot))
        job.bootPath = parser.value(boot);
    if (parser.isSet(loraMac))
        job.loraMacPaths = parser.values(loraMac);
    if (parser.isSet(app))
        job.appPaths = parser.values(app);
    if (parser.isSet(name))
        job.nameTemplate = parser.value(name);

    const struct {
        bool missing;
        const char *option;
    } required[] = {{job.outputDir.isEmpty(), "--out"},
                    {job.bootPath.isEmpty(), "--boot"},
                    {job.loraMacPaths.isEmpty(), "--loramac"},
                    {job.appPaths.isEmpty(), "--app"}};
    for (const auto &check : required) {
        if (check.missing)
            return usageError(QStringLiteral("%1 is required").arg(QLatin1String(check.option)));
    }

    CliReporter reporter;
    const LoRaResult result = assembleLoRaImages(job, reporter);
    for (const LoRaImage &image : result.images)
        cliOut() << image.path << '\n';
    cliOut().flush();
    return result.succeeded ? CliExit::Success : CliExit::Failed;
}
