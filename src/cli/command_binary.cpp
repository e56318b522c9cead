#include <optional>

#include <QCommandLineParser>

#include "clireporter.h"
#include "commandline.h"
#include "commands.h"
#include "hexnumber.h"
#include "imageplan.h"
#include "jobrun.h"
#include "offsetparser.h"
#include "tabjobs.h"

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
        // An '@' with nothing after it is a typing slip, not offset 0.
        const std::optional<quint64> offset = HexNumber::parse(offsetText, MaximumOffset);
        if (!offset) {
            error = invalidOffsetMessage(QStringLiteral("--file ") + argument, offsetText);
            return std::nullopt;
        }
        slot.offset = qint64(*offset);
    }
    if (slot.path.isEmpty()) {
        error = QStringLiteral("--file \"%1\" names no file").arg(argument);
        return std::nullopt;
    }
    return slot;
}

// The options of "binary", with their help texts.
struct BinaryOptions {
    QCommandLineOption out, name, hex, sequential, file, settingsFile, flashSize;
};

BinaryOptions binaryOptions()
{
    return {
        {QStringLiteral("out"), QStringLiteral("Output directory."), QStringLiteral("DIR")},
        {QStringLiteral("name"), QStringLiteral("Output file name without extension."),
         QStringLiteral("NAME")},
        {QStringLiteral("hex"),
         QStringLiteral("Write the image as Intel HEX (NAME.hex): each piece's bytes at its "
                        "offset as address, no records for the gaps.")},
        {QStringLiteral("sequential"), QStringLiteral("Place the files one after another from offset 0; "
                                                      "their offsets are not used.")},
        {QStringLiteral("file"), QStringLiteral("A piece and its offset; repeat up to six times."),
         QStringLiteral("PATH[@HEXOFFSET]")},
        {QStringLiteral("settings"),
         QStringLiteral(
             "A saved Binary template or config.conf: its files (those checked, at their offsets), "
             "output directory and name are used where no option gives them."),
         QStringLiteral("FILE")},
        CommandLine::flashSizeOption(),
    };
}

// The --file options as slots; a usage error gives the exit code.
std::optional<int> readGivenFiles(CommandLine &commandLine, const BinaryOptions &o, QList<BinarySlot> &given)
{
    const QStringList files = commandLine.parser().values(o.file);
    if (files.size() > MaximumFiles)
        return commandLine.usageError(QStringLiteral("at most %1 --file options").arg(MaximumFiles));
    for (const QString &argument : files) {
        QString error;
        const std::optional<BinarySlot> slot = parseFileArgument(argument, error);
        if (!slot)
            return commandLine.usageError(error);
        given.append(*slot);
    }
    return std::nullopt;
}

// Every option given, over the starting settings; false when the flash size is refused. The files
// given take the slots in their order, ticked; the other slots take no part.
bool applyOptions(CommandLine &commandLine, const BinaryOptions &o, const QList<BinarySlot> &givenFiles,
                  BinarySettings &settings)
{
    const QCommandLineParser &parser = commandLine.parser();
    settings.sequential = parser.isSet(o.sequential);
    settings.hexOutput = parser.isSet(o.hex);
    if (!givenFiles.isEmpty()) {
        for (int slot = 0; slot < MaximumFiles; ++slot) {
            const bool given = slot < givenFiles.size();
            settings.enabled[slot] = given;
            settings.pathFile[slot] = given ? givenFiles[slot].path : QString();
            settings.offsetFile[slot] = given ? QString::number(givenFiles[slot].offset, 16) : QString();
        }
    }
    if (parser.isSet(o.out))
        settings.pathRelease = parser.value(o.out);
    if (parser.isSet(o.name))
        settings.templateName = parser.value(o.name);
    return commandLine.readFlashSize(o.flashSize, settings.flashSize);
}

// Without a settings file these have no other source; from one, what is missing is the job's to
// report ("nothing to assemble"), as the window does. A map writes nothing, and needs none.
std::optional<int> requiredOptionMissing(CommandLine &commandLine, const BinaryOptions &o, bool forMap)
{
    const QCommandLineParser &parser = commandLine.parser();
    if (!forMap && parser.value(o.out).isEmpty())
        return commandLine.usageError(QStringLiteral("--out is required"));
    if (!forMap && parser.value(o.name).isEmpty())
        return commandLine.usageError(QStringLiteral("--name is required"));
    if (parser.values(o.file).isEmpty())
        return commandLine.usageError(QStringLiteral("--file is required"));
    return std::nullopt;
}

} // namespace

std::optional<int> readBinaryJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                                 BinaryJob &job)
{
    const BinaryOptions options = binaryOptions();
    QCommandLineParser &parser = commandLine.parser();
    for (const QCommandLineOption &option : {options.out, options.name, options.hex, options.sequential,
                                             options.file, options.settingsFile, options.flashSize})
        parser.addOption(option);
    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    if (!parser.positionalArguments().isEmpty())
        return commandLine.usageError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    QList<BinarySlot> givenFiles;
    if (const std::optional<int> exitCode = readGivenFiles(commandLine, options, givenFiles))
        return exitCode;

    // The window's defaults, or what a saved template or config.conf holds; then every option given.
    const std::optional<BinarySettings> starting =
        commandLine.startingSettings<BinarySettings>(options.settingsFile);
    if (!starting)
        return CliExit::Usage;
    BinarySettings settings = *starting;
    if (!applyOptions(commandLine, options, givenFiles, settings))
        return CliExit::Usage;
    if (!parser.isSet(options.settingsFile)) {
        if (const std::optional<int> exitCode = requiredOptionMissing(commandLine, options, forMap))
            return exitCode;
    }

    // Only a saved field can still be wrong: --file and --flash-size were checked above.
    const JobFromSettings<BinaryJob> made = binaryJobFrom(settings);
    if (!made.ok())
        return commandLine.invalidSavedField(*made.invalidOffset, parser.value(options.settingsFile));
    job = made.job;
    return std::nullopt;
}

int runBinaryCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("binary"),
        QStringLiteral("Builds one image out of up to six files, each at its own offset (hexadecimal, after "
                       "'@'), or with --sequential one directly after another in the order given."));
    BinaryJob job;
    if (const std::optional<int> exitCode = readBinaryJob(commandLine, arguments, false, job))
        return *exitCode;

    CliReporter reporter;
    return planAndBuildImages([&job](JobRun &run) { return planImages(job, run); }, reporter);
}
