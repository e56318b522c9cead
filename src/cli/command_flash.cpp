#include "clireporter.h"
#include "commandline.h"
#include "commands.h"

#include <QEventLoop>
#include <QTextStream>

#include "platform.h"
#include "programmercommands.h"
#include "programmerrunner.h"

// quillon-cli flash IMAGE: sets the read-out protection to level 0, then erases the board and
// writes the image, streaming the programmer's output as it comes.
int runFlashCommand(const QStringList &arguments)
{
    CommandLine commandLine(
        QStringLiteral("flash"),
        QStringLiteral("Flash IMAGE into the board attached over SWD with STM32_Programmer_CLI: first set "
                       "the read-out protection to level 0, then erase the whole flash and write IMAGE at "
                       "0x08000000. The programmer is QUILLON_PROGRAMMER when set, else "
                       "STM32_Programmer_CLI on PATH, else its default installation path."));
    QCommandLineParser &parser = commandLine.parser();
    parser.addPositionalArgument(QStringLiteral("IMAGE"), QStringLiteral("the .bin or .hex image to flash"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("end a programmer run that takes longer than <seconds> (default: 60 for the option "
                       "bytes, 300 for erase and write)"),
        QStringLiteral("seconds"));
    parser.addOption(timeoutOption);

    if (const std::optional<int> exitCode = commandLine.parse(arguments))
        return *exitCode;
    const QStringList images = parser.positionalArguments();
    if (images.size() != 1)
        return commandLine.usageError(images.isEmpty()
                                          ? QStringLiteral("IMAGE is missing")
                                          : QStringLiteral("exactly one IMAGE is flashed at a time"));
    ProgrammerTimeouts timeouts;
    if (parser.isSet(timeoutOption)) {
        bool ok = false;
        const int seconds = parser.value(timeoutOption).toInt(&ok);
        if (!ok || seconds <= 0 || seconds > 24 * 3600)
            return commandLine.usageError(
                QStringLiteral("--timeout takes a number of seconds from 1 to 86400"));
        timeouts.optionBytesMs = timeouts.eraseAndWriteMs = seconds * 1000;
    }

    CliReporter reporter;
    const FlashPlan plan = ProgrammerCommands::planFlashing(images.first(), timeouts);
    if (!plan.ok()) {
        reporter.message(MessageKind::Critical, ReportTitle::error(), plan.error);
        return CliExit::Failed;
    }

    Platform::endProcessGroupOnInterrupt();
    ProgrammerRunner runner;
    QEventLoop loop;
    QObject::connect(&runner, &ProgrammerRunner::stepStarted,
                     [](int, const QString &commandLine) { cliErr() << "> " << commandLine << Qt::endl; });
    QObject::connect(&runner, &ProgrammerRunner::outputReceived,
                     [](const QString &text) { cliOut() << text << Qt::flush; });
    QObject::connect(&runner, &ProgrammerRunner::finished, &loop, &QEventLoop::quit);
    runner.start(plan.program, plan.steps);
    if (runner.isRunning())
        loop.exec();

    if (runner.outcome() == ProgrammerRunner::Outcome::Succeeded) {
        reporter.message(MessageKind::Information, ReportTitle::complete(), runner.message());
        return CliExit::Success;
    }
    reporter.message(MessageKind::Critical, ReportTitle::error(), runner.message());
    return CliExit::Failed;
}
