#include <QCommandLineParser>
#include <QTextStream>

#include "atomicoutputfile.h"
#include "clireporter.h"
#include "commandline.h"
#include "commands.h"
#include "imageplan.h"
#include "jobrun.h"
#include "memorymap.h"
#include "memorymapsvg.h"
#include "memorymaptext.h"

namespace {

// Characters of the one-line bar: wide enough to tell a 32 KiB bootloader in a 1 MiB flash.
constexpr int BarWidth = 64;

QCommandLineOption svgOption()
{
    return QCommandLineOption(QStringLiteral("svg"),
                              QStringLiteral("Also write the map as an SVG picture to OUT."),
                              QStringLiteral("OUT"));
}

// Prints the maps, writes the picture when asked, and tells with the exit code whether the image
// would be built as shown: no overlap the build refuses, every image within its flash, every file
// read.
int showMaps(const MemoryMapSet &set, const QString &svgPath)
{
    CliReporter reporter;
    for (const QString &problem : set.problems)
        reporter.message(MessageKind::Warning, ReportTitle::warning(), problem);
    for (const MemoryMap &map : set.maps) {
        cliOut() << map.title << '\n'
                 << MemoryMapText::summary(map) << '\n'
                 << MemoryMapText::bar(map, BarWidth) << '\n'
                 << MemoryMapText::legend(map) << "\n\n"
                 << MemoryMapText::alignedTable(map) << '\n';
    }
    cliOut().flush();

    // A map made of what could be read would be a picture of another image: the picture is
    // written only when every file was read (overlaps and overflows are drawn, not hidden).
    const bool mapped = set.problems.isEmpty() && !set.maps.isEmpty();
    if (!svgPath.isEmpty() && mapped) {
        AtomicOutputFile svg(svgPath);
        if (!svg.open() || !svg.write(MemoryMapSvg::picture(set.maps)) || !svg.commit()) {
            reporter.message(
                MessageKind::Critical, ReportTitle::error(),
                QStringLiteral("Не удалось записать файл по пути: %1 (%2)").arg(svgPath, svg.errorString()));
            return CliExit::Failed;
        }
    }

    if (!svgPath.isEmpty() && !mapped)
        reporter.message(MessageKind::Critical, ReportTitle::error(),
                         QStringLiteral("Карта не построена; файл %1 не записан.").arg(svgPath));
    bool buildable = mapped;
    if (set.hasRefusedOverlap()) {
        reporter.message(MessageKind::Critical, ReportTitle::error(),
                         QStringLiteral("Файлы пересекаются: такой образ не будет собран."));
        buildable = false;
    }
    for (const MemoryMap &map : set.maps) {
        if (map.overflow() > 0) {
            reporter.message(MessageKind::Critical, ReportTitle::error(),
                             MemoryMapText::overflowMessage(map));
            buildable = false;
        }
    }
    return buildable ? CliExit::Success : CliExit::Failed;
}

int mapOfJob(const QString &word, QStringList arguments)
{
    // "map lora ..." parses as "lora ..." does: the job's own options, and --svg.
    arguments.removeAt(1);
    arguments[0] += QLatin1Char(' ') + word;
    CommandLine commandLine(
        QStringLiteral("map ") + word,
        QStringLiteral(
            "Shows the memory map of the image \"quillon-cli %1\" would build with the same "
            "options, writing nothing but --svg: each file's range, the gaps, the overlaps and, for "
            "LoRa, the name fields. Exit code 1 when that image would not be built (files overlap "
            "or cannot be read, or the image does not fit --flash-size).")
            .arg(word));
    const QCommandLineOption svg = svgOption();
    commandLine.parser().addOption(svg);

    // Only a look: a pipe named as a piece is left for the build to read.
    MemoryMapSet maps;
    std::optional<int> exitCode;
    JobRun run;
    if (word == QLatin1String("lora")) {
        LoRaJob job;
        if (!(exitCode = readLoRaJob(commandLine, arguments, true, job)))
            maps = memoryMapsOf(planImages(job, run, PlanPurpose::Look));
    } else if (word == QLatin1String("binary")) {
        BinaryJob job;
        if (!(exitCode = readBinaryJob(commandLine, arguments, true, job)))
            maps = memoryMapsOf(planImages(job, run, PlanPurpose::Look));
    } else {
        IntelHexJoinJob job;
        if (!(exitCode = readIntelHexJob(commandLine, arguments, true, job)))
            maps = memoryMapsOf(planImages(job, run, PlanPurpose::Look));
    }
    if (exitCode)
        return *exitCode;
    return showMaps(maps, commandLine.parser().value(svg));
}

} // namespace

// quillon-cli map lora|binary|intelhex [that job's options] [--svg OUT], or
// quillon-cli map FILE [--flash-size SIZE] [--flash-base HEX] [--svg OUT].
int runMapCommand(const QStringList &arguments)
{
    const QString word = arguments.value(1);
    if (word == QLatin1String("lora") || word == QLatin1String("binary") || word == QLatin1String("intelhex"))
        return mapOfJob(word, arguments);

    CommandLine commandLine(
        QStringLiteral("map"),
        QStringLiteral(
            "Shows the memory map of an image: a table of its regions (first and last address, "
            "size), a one-line bar and, with --svg, a picture. \"quillon-cli map "
            "lora|binary|intelhex ...\" maps the image that job would build with the same options "
            "(see \"quillon-cli map lora --help\"); \"quillon-cli map FILE\" maps an image file in "
            "any format info reads (a file named like a job is given as ./lora). Exit code 1 when the image "
            "does "
            "not fit the flash, files overlap or cannot be read."));
    QCommandLineParser &parser = commandLine.parser();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("an image: binary, Intel HEX, S-records or ELF"));
    const QCommandLineOption flashSize = CommandLine::flashSizeOption();
    const QCommandLineOption flashBase = CommandLine::flashBaseOption();
    const QCommandLineOption svg = svgOption();
    for (const QCommandLineOption &option : {flashSize, flashBase, svg})
        parser.addOption(option);
    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return commandLine.usageError(files.isEmpty() ? QStringLiteral("no FILE or job given")
                                                      : QStringLiteral("only one FILE"));

    QString sizeText;
    QString baseText;
    if (!commandLine.readFlashSize(flashSize, sizeText) || !commandLine.readFlashBase(flashBase, baseText))
        return CliExit::Usage;
    const std::optional<quint64> size = sizeText.isEmpty() ? std::nullopt : FlashSize::parse(sizeText);
    const quint64 base = FlashBase::parse(baseText).value_or(DefaultFlashBase);
    if (size && base + *size > AddressSpaceEnd)
        return commandLine.usageError(QStringLiteral("the flash would end past 4 GiB"));
    return showMaps(memoryMapsOf(planImageFile(files.first(), size, base)), parser.value(svg));
}
