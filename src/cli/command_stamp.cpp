#include "clijobrun.h"
#include "clireporter.h"
#include "commandline.h"
#include "commands.h"

#include <QTextStream>

#include "hextext.h"
#include "imagestamp.h"

namespace {

struct StampOptions {
    QCommandLineOption at;
    QCommandLineOption algorithm;
    QCommandLineOption output;
    QCommandLineOption force;
    QCommandLineOption offset;
};

StampOptions addStampOptions(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("IMAGE"), QStringLiteral("the image file"));
    StampOptions options{
        {QStringLiteral("at"), QStringLiteral("address of the CRC's four bytes, hexadecimal (required)"),
         QStringLiteral("ADDR")},
        {QStringLiteral("algorithm"), QStringLiteral("crc32 (default) or stm32"), QStringLiteral("NAME")},
        {QStringList{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("output file (default: IMAGE itself)"), QStringLiteral("OUT")},
        {QStringLiteral("force"), QStringLiteral("write the CRC over bytes that hold data")},
        {QStringLiteral("offset"),
         QStringLiteral("address of a binary image's first byte, hexadecimal (default 0)"),
         QStringLiteral("HEX")},
    };
    for (const QCommandLineOption &option :
         {options.at, options.algorithm, options.output, options.force, options.offset})
        parser.addOption(option);
    parser.addOption(QCommandLineOption(
        QStringLiteral("range"),
        QStringLiteral("the bytes the CRC covers, from START up to END (both hexadecimal; END is the first "
                       "address past the range): --range START END"),
        QStringLiteral("START END")));
    return options;
}

// Fills the job from the parsed command line; a usage error gives the exit code.
std::optional<int> readStampJob(CommandLine &commandLine, const StampOptions &options, StampJob &job)
{
    const QCommandLineParser &parser = commandLine.parser();
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return commandLine.usageError(files.isEmpty() ? QStringLiteral("не задан IMAGE")
                                                      : QStringLiteral("IMAGE задаётся только один"));
    if (!parser.isSet(options.at))
        return commandLine.usageError(QStringLiteral("нужен --at ADDR"));
    // The four bytes of the stamp end inside the 64-bit address space.
    if (!readHexOption(parser, options.at, job.address, 0xFFFFFFFFFFFFFFFBull))
        return commandLine.usageError(QStringLiteral("--at принимает шестнадцатеричный адрес, а не «%1»")
                                          .arg(parser.value(options.at)));
    if (parser.isSet(options.algorithm)) {
        const std::optional<StampAlgorithm> algorithm =
            stampAlgorithmFromName(parser.value(options.algorithm));
        if (!algorithm)
            return commandLine.usageError(QStringLiteral("--algorithm принимает crc32 или stm32, а не «%1»")
                                              .arg(parser.value(options.algorithm)));
        job.algorithm = *algorithm;
    }
    if (!readHexOption(parser, options.offset, job.binaryOffset))
        return commandLine.usageError(notHexadecimalText(parser, options.offset));
    job.imagePath = files.first();
    job.outputPath = parser.value(options.output);
    job.force = parser.isSet(options.force);
    return std::nullopt;
}

void printStamp(const StampJob &job, const Stamp &stamp)
{
    cliOut() << "algorithm: " << stampAlgorithmName(job.algorithm) << '\n'
             << "range: " << HexText::address(stamp.rangeStart) << '-' << HexText::address(stamp.rangeEnd - 1)
             << " (" << stamp.rangeEnd - stamp.rangeStart << " bytes)\n"
             << "address: " << HexText::address(job.address) << '\n'
             << "value: " << HexText::address(stamp.value) << '\n'
             << "output: " << stamp.outputPath << '\n';
    if (!stamp.manifestPath.isEmpty())
        cliOut() << "manifest: " << stamp.manifestPath << '\n';
    cliOut() << Qt::flush;
}

} // namespace

// quillon-cli stamp IMAGE --at ADDR: a CRC of the image written into it, for a bootloader to check.
int runStampCommand(const QStringList &givenArguments)
{
    CommandLine commandLine(
        QStringLiteral("stamp"),
        QStringLiteral(
            "Computes a CRC over a range of IMAGE and writes it, little-endian, into the four bytes at ADDR, "
            "in the image's own format (binary, Intel HEX, S-records, or ELF, where a loadable segment must "
            "hold those bytes). The range is by default from the image's lowest address up to ADDR. "
            "Addresses in the range that hold no data count as 0xFF, as erased flash reads.\n"
            "crc32 is the common CRC-32 (zlib's, the one \"info\" prints); stm32 is the STM32 CRC unit's: "
            "polynomial 0x04C11DB7, initial value 0xFFFFFFFF, fed 32-bit little-endian words, no final "
            "inversion (the range's length must be a multiple of 4).\n"
            "Refused: ADDR inside the range, and four bytes at ADDR that hold data other than 0xFF (unless "
            "--force). The output replaces its file whole or not at all; a release manifest beside IMAGE "
            "(IMAGE.manifest.json) is written beside the output with the stamp recorded."));
    const StampOptions options = addStampOptions(commandLine.parser());
    StampJob job;
    if (const std::optional<int> exitCode = commandLine.parseWithRange(givenArguments, &job.range))
        return *exitCode;
    if (const std::optional<int> exitCode = readStampJob(commandLine, options, job))
        return *exitCode;

    CliJobRun run(QStringLiteral("CRC"));
    const Result<Stamp> result = stampImage(job, run.run());
    if (run.interrupted())
        return run.reportInterrupted();
    printProblems(result.problems());
    if (!result)
        return CliExit::Failed;
    printStamp(job, result.value());
    return CliExit::Success;
}
