#include <QCoreApplication>
#include <QTextStream>

#include "clireporter.h"
#include "commands.h"
#include "platform.h"

namespace {

struct Command {
    const char *name;
    int (*run)(const QStringList &);
    const char *summary;
};

const Command commands[] = {
    {"lora", runLoRaCommand, "assemble LoRa images (bootloader, LoRaMAC, application)"},
    {"binary", runBinaryCommand, "assemble up to six pieces into one image"},
    {"intelhex", runIntelHexCommand, "join up to six Intel HEX files"},
    {"convert", runConvertCommand, "convert between binary, Intel HEX, S-records (and from ELF)"},
    {"flash", runFlashCommand, "flash an image through STM32_Programmer_CLI"},
    {"info", runInfoCommand, "show the size, ranges and checksums of an image file"},
    {"map", runMapCommand, "show the memory map of a job or an image file (table, bar, SVG)"},
    {"compare", runCompareCommand, "tell whether two image files hold the same bytes at the same addresses"},
    {"stamp", runStampCommand, "write a CRC of the image into it at a fixed address"},
};

void printUsage(QTextStream &stream)
{
    stream << "Usage: quillon-cli <command> [options]\n"
              "       quillon-cli <command> --help\n"
              "       quillon-cli --version\n\nCommands:\n";
    for (const Command &command : commands)
        stream << "  " << QString::fromLatin1(command.name).leftJustified(10) << command.summary << '\n';
    stream.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Platform::useUtf8StandardStreams();
    QCoreApplication::setApplicationName(QStringLiteral("quillon-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));

    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        printUsage(cliErr());
        return CliExit::Usage;
    }
    const QString first = arguments.at(1);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        printUsage(cliOut());
        return CliExit::Success;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-v")) {
        cliOut() << "quillon-cli " << QUILLON_VERSION << Qt::endl;
        return CliExit::Success;
    }
    for (const Command &command : commands) {
        if (first == QLatin1String(command.name)) {
            // Each command parses its own options; the program name is kept first for QCommandLineParser.
            QStringList rest = arguments.mid(2);
            rest.prepend(arguments.at(0) + QLatin1Char(' ') + first);
            return command.run(rest);
        }
    }
    cliErr() << "quillon-cli: unknown command \"" << first << "\"" << Qt::endl;
    printUsage(cliErr());
    return CliExit::Usage;
}
