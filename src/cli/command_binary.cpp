#include <optional>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include "assembly/binaryassembler.h"
#include "assembly/offsetparser.h"
#include "cli/clireporter.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "settings/settingsfile.h"
#include "settings/settingskeys.h"
#include "settings/tabsettings.h"

namespace {

constexpr int MaximumFiles = 6;

// "PATH@HEXOFFSET": the offset follows the last '@', hex digits after an optional 0x; a path that
// holds '@' itself ends with "@0" (or its offset). Without '@' the piece goes to offset 0.
std::optional<BinarySlot> parseFileArgument(const QString &argument, QString &error)
{
    BinarySlot slot;
    slot.enabled = true;
    const qsizetype at = argument.lastIndexOf(QLatin1Char('@'));
    slot.path = at < 0 ? argument : argument.left(at);
    if (at >= 0) {
        const QString offsetText = argument.mid(at + 1);
        quint64 offset = 0;
        // An '@' with nothing after it is a typing slip, not offset 0.
        if (!parseHexArgument(offsetText, &offset) || offset > quint64(MaximumOffset)) {
            error = invalidOffsetMessage(QStringLiteral("--file ") + argument, offsetText);
            return std::nullopt;
        }
        slot.offset = qint64(offset);
    }
    if (slot.path.isEmpty()) {
        error = QStringLiteral("--file \"%1\" names no file").arg(argument);
        return std::nullopt;
    }
    return slot;
}

// The file slots of a saved Binary template or config.conf, checked or not, in slot order. An offset is
// read only where it is used: for a checked slot when the pieces go to their own offsets.
std::optional<QList<BinarySlot>> slotsFromSettings(const BinarySettings &settings,
                                                   const QString &settingsPath, bool sequential,
                                                   QString &error)
{
    QList<BinarySlot> savedFiles;
    for (int index = 0; index < int(settings.pathFile.size()); ++index) {
        BinarySlot slot;
        slot.enabled = settings.enabled[index];
        slot.path = settings.pathFile[index];
        if (slot.enabled && !sequential) {
            const std::optional<qint64> offset = parseOffset(settings.offsetFile[index]);
            if (!offset) {
                error = invalidOffsetMessage(SettingsKeys::offsetsGroup() + QLatin1Char('/') +
                                                 SettingsKeys::binaryOffsetFile(index) +
                                                 QStringLiteral(" (") + settingsPath + QLatin1Char(')'),
                                             settings.offsetFile[index]);
                return std::nullopt;
            }
            slot.offset = *offset;
        }
        savedFiles.append(slot);
    }
    return savedFiles;
}

} // namespace

int runBinaryCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("binary"),
        QStringLiteral("Builds one image out of up to six files, each at its own offset (hexadecimal, after "
                       "'@'), or with --sequential one directly after another in the order given."));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Output directory."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Output file name without extension."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption hex(QStringLiteral("hex"),
                                 QStringLiteral("Name the output .hex instead of .bin."));
    const QCommandLineOption sequential(QStringLiteral("sequential"),
                                        QStringLiteral("Place the files one after another from offset 0; "
                                                       "their offsets are not used."));
    const QCommandLineOption file(QStringLiteral("file"),
                                  QStringLiteral("A piece and its offset; repeat up to six times."),
                                  QStringLiteral("PATH[@HEXOFFSET]"));
    const QCommandLineOption settingsFile(
        QStringLiteral("settings"),
        QStringLiteral("A saved Binary template or config.conf: its files (those checked, at their offsets), "
                       "output directory and name are used where no option gives them."),
        QStringLiteral("FILE"));
    QCommandLineParser &parser = commandLine.parser();
    for (const QCommandLineOption &option : {out, name, hex, sequential, file, settingsFile})
        parser.addOption(option);

    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    if (!parser.positionalArguments().isEmpty())
        return commandLine.usageError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    BinaryJob job;
    job.sequential = parser.isSet(sequential);
    job.hexOutput = parser.isSet(hex);
    const QStringList files = parser.values(file);
    if (files.size() > MaximumFiles)
        return commandLine.usageError(QStringLiteral("at most %1 --file options").arg(MaximumFiles));
    for (const QString &argument : files) {
        QString error;
        const std::optional<BinarySlot> slot = parseFileArgument(argument, error);
        if (!slot)
            return commandLine.usageError(error);
        job.files.append(*slot);
    }

    QString baseName;
    if (parser.isSet(settingsFile)) {
        const QString settingsPath = parser.value(settingsFile);
        const std::optional<BinarySettings> saved = commandLine.loadSettings<BinarySettings>(settingsPath);
        if (!saved)
            return CliExit::Usage;
        const BinarySettings &settings = *saved;
        job.outputDir = settings.pathRelease;
        baseName = settings.templateName;
        if (job.files.isEmpty()) {
            QString error;
            const std::optional<QList<BinarySlot>> savedFiles =
                slotsFromSettings(settings, settingsPath, job.sequential, error);
            if (!savedFiles)
                return commandLine.usageError(error);
            job.files = *savedFiles;
        }
    }
    if (parser.isSet(out))
        job.outputDir = parser.value(out);
    if (parser.isSet(name))
        baseName = parser.value(name);

    // Without a settings file these have no other source; from one, what is missing is the job's
    // to report ("nothing to assemble"), as the window does.
    if (!parser.isSet(settingsFile)) {
        if (job.outputDir.isEmpty())
            return commandLine.usageError(QStringLiteral("--out is required"));
        if (baseName.isEmpty())
            return commandLine.usageError(QStringLiteral("--name is required"));
        if (job.files.isEmpty())
            return commandLine.usageError(QStringLiteral("--file is required"));
    }
    job.fileName = baseName + (job.hexOutput ? QStringLiteral(".hex") : QStringLiteral(".bin"));

    CliReporter reporter;
    const BinaryResult result = assembleBinaryImage(job, reporter);
    if (result.succeeded)
        cliOut() << result.imagePath << Qt::endl;
    return result.succeeded ? CliExit::Success : CliExit::Failed;
}
