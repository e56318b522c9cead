#include <QtTest>

#include "fakeprogrammer.h"
#include "platform.h"
#include "programmercommands.h"
#include "programmerlocator.h"
#include "programmerrunner.h"

namespace {

const QStringList optionBytesArguments{"-c", "port=SWD", "-ob", "rdp=0xAA"};

// The programmer is handed the image's full path as the system writes it (backslashes on Windows).
QStringList eraseAndWrite(const QString &absoluteImage)
{
    return {"-c", "port=SWD", "-e", "all", "-w", QDir::toNativeSeparators(absoluteImage), "0x08000000"};
}

QString writeFile(const QString &path, const QByteArray &bytes = QByteArray(16, '\x5a'),
                  QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    file.close();
    file.setPermissions(permissions);
    return QFileInfo(path).absoluteFilePath();
}

// Files a shell would have created had it interpreted any of the test file names.
QStringList strayFiles(const QString &directory)
{
    QStringList found;
    QDirIterator it(directory, {QStringLiteral("pwned*")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

// Runs the plan to its end; the runner never blocks, so the test spins the event loop.
struct RunResult {
    ProgrammerRunner::Outcome outcome;
    QString message;
    QString streamed;
    QStringList commandLines;
};

RunResult runToEnd(const FlashPlan &plan)
{
    ProgrammerRunner runner;
    RunResult result{};
    QObject::connect(&runner, &ProgrammerRunner::outputReceived,
                     [&result](const QString &text) { result.streamed += text; });
    QObject::connect(&runner, &ProgrammerRunner::stepStarted,
                     [&result](int, const QString &line) { result.commandLines << line; });
    QSignalSpy finished(&runner, &ProgrammerRunner::finished);
    runner.start(plan.program, plan.steps);
    if (finished.isEmpty())
        finished.wait(30000);
    result.outcome = runner.outcome();
    result.message = runner.message();
    return result;
}

// Wine takes longer than 0.3 s to start a program.
const int shortTimeoutMs = TestPlatform::isPosix() ? 300 : 5000;
const ProgrammerTimeouts shortTimeouts{shortTimeoutMs, shortTimeoutMs};

} // namespace

class ProgrammerTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void optionBytesArgumentsAreExact();
    void eraseAndWriteArgumentsUseTheAbsolutePath();
    void locatesTheProgrammerNamedByTheEnvironment();
    void anExplicitProgrammerThatIsMissingIsNotReplaced();
    void refusesACommandScriptAsProgrammer();
    void locatesTheProgrammerOnTheSearchPath();
    void locatesTheProgrammerAtItsDefaultPath();
    void reportsEveryPlaceLookedAtWhenNotFound();
    void planRefusesAMissingImage();

    void flashRunsBothStepsInOrderWithOddNames_data();
    void flashRunsBothStepsInOrderWithOddNames();
    void programmerPathWithOddCharactersIsStartedDirectly();
    void failuresAreToldApart_data();
    void failuresAreToldApart();
    void programmerThatCannotBeStarted();
    void failureMessageCarriesTheLastLines();
    void cancelKillsAndReapsTheProgrammer();
    void destroyingTheRunnerLeavesNoProgrammerBehind();
    void timeOutEndsTheProgrammersHelpers();
    void helperOfAFinishedRunIsEnded();
    void errorLinesOfASuccessfulExitAreAWarning();
    void killedProgramTakesTheProgrammerAlong();

    void cliExitCodes_data();
    void cliExitCodes();
    void cliStreamsOutputAndPassesOddPaths();
    void cliTakesARelativeImageStartingWithADash();

private:
    std::optional<QTemporaryDir> m_dir;
    QString m_previousDir;
    QByteArray m_savedPath;
    QByteArray m_savedHome;
    QByteArray m_savedProgramFiles;
};

void ProgrammerTest::init()
{
    m_previousDir = QDir::currentPath();
    m_savedPath = qgetenv("PATH");
    m_savedHome = qgetenv("HOME");
    m_savedProgramFiles = qgetenv("ProgramFiles");
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    // A programmer installed on this machine is never found by a test.
    qputenv("ProgramFiles", QFile::encodeName(m_dir->filePath(QStringLiteral("Program Files"))));
}

void ProgrammerTest::cleanup()
{
    QVERIFY(strayFiles(m_dir->path()).isEmpty());
    QDir::setCurrent(m_previousDir);
    qputenv("PATH", m_savedPath);
    qputenv("HOME", m_savedHome);
    qputenv("ProgramFiles", m_savedProgramFiles);
    m_dir.reset();
}

void ProgrammerTest::optionBytesArgumentsAreExact()
{
    QCOMPARE(ProgrammerCommands::optionBytesArguments(), optionBytesArguments);
}

void ProgrammerTest::eraseAndWriteArgumentsUseTheAbsolutePath()
{
    const QString absolute = m_dir->filePath(QStringLiteral("-image.bin"));
    QCOMPARE(ProgrammerCommands::eraseAndWriteArguments(QStringLiteral("-image.bin")),
             eraseAndWrite(absolute));
    QCOMPARE(ProgrammerCommands::eraseAndWriteArguments(absolute), eraseAndWrite(absolute));
}

void ProgrammerTest::locatesTheProgrammerNamedByTheEnvironment()
{
    FakeProgrammer fake;
    const QString copy = writeFile(m_dir->filePath(QStringLiteral("tools/prog")));
    fake.setProgram(QStringLiteral("tools/prog")); // relative to the working directory
    const ProgrammerLocation location = locateProgrammer();
    QCOMPARE(location.path, copy);
    QVERIFY(location.error.isEmpty());
}

void ProgrammerTest::anExplicitProgrammerThatIsMissingIsNotReplaced()
{
    FakeProgrammer fake;
    const QString bin = m_dir->filePath(QStringLiteral("bin"));
    writeFile(bin + QLatin1Char('/') + Platform::programmerExecutableName(), "x",
              QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(bin));
    fake.setProgram(m_dir->filePath(QStringLiteral("missing/prog")));
    const ProgrammerLocation location = locateProgrammer();
    QVERIFY(!location.found());
    QVERIFY(location.error.contains(QLatin1String("QUILLON_PROGRAMMER")));
    QVERIFY(
        location.error.contains(QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("missing/prog")))));
}

void ProgrammerTest::refusesACommandScriptAsProgrammer()
{
    FakeProgrammer fake;
    const QString script = writeFile(m_dir->filePath(QStringLiteral("prog.BAT")), "@echo off\r\n",
                                     QFile::ReadOwner | QFile::ExeOwner);
    fake.setProgram(script);
    const ProgrammerLocation location = locateProgrammer();
    QVERIFY(!location.found());
    QVERIFY(location.error.contains(QDir::toNativeSeparators(script)));
}

void ProgrammerTest::locatesTheProgrammerOnTheSearchPath()
{
    FakeProgrammer fake;
    qunsetenv("QUILLON_PROGRAMMER");
    const QString onPath =
        writeFile(m_dir->filePath(QStringLiteral("bin/")) + Platform::programmerExecutableName(), "x",
                  QFile::ReadOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("empty")) +
                                                               QDir::listSeparator() +
                                                               m_dir->filePath(QStringLiteral("bin")))));
    qputenv("HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("home"))));
    QCOMPARE(locateProgrammer().path, onPath);
}

void ProgrammerTest::locatesTheProgrammerAtItsDefaultPath()
{
    FakeProgrammer fake;
    qunsetenv("QUILLON_PROGRAMMER");
    qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("empty"))));
    // The default lies under the home folder on Linux, under Program Files (see init) on Windows.
    qputenv("HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("home"))));
    const QString installed =
        writeFile(Platform::defaultProgrammerPath(), "x", QFile::ReadOwner | QFile::ExeOwner);
    QVERIFY(installed.startsWith(m_dir->path()));
    QCOMPARE(locateProgrammer().path, installed);
}

void ProgrammerTest::reportsEveryPlaceLookedAtWhenNotFound()
{
    FakeProgrammer fake;
    qunsetenv("QUILLON_PROGRAMMER");
    qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("empty"))));
    qputenv("HOME", QFile::encodeName(m_dir->filePath(QStringLiteral("home"))));
    const ProgrammerLocation location = locateProgrammer();
    QVERIFY(!location.found());
    for (const QString &place :
         {QStringLiteral("QUILLON_PROGRAMMER"), QStringLiteral("PATH"),
          QDir::toNativeSeparators(Platform::defaultProgrammerPath()), Platform::programmerExecutableName()})
        QVERIFY2(location.error.contains(place), qPrintable(location.error));

    const FlashPlan plan =
        ProgrammerCommands::planFlashing(writeFile(m_dir->filePath(QStringLiteral("a.bin"))));
    QCOMPARE(plan.error, location.error);
    QVERIFY(plan.steps.isEmpty());
}

void ProgrammerTest::planRefusesAMissingImage()
{
    FakeProgrammer fake;
    const FlashPlan plan = ProgrammerCommands::planFlashing(QStringLiteral("nowhere.bin"));
    QVERIFY(!plan.ok());
    QVERIFY(plan.error.contains(QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("nowhere.bin")))));
    QVERIFY(plan.steps.isEmpty());
}

void ProgrammerTest::flashRunsBothStepsInOrderWithOddNames_data()
{
    QTest::addColumn<QString>("relativeImage");
    QTest::newRow("plain") << "image.bin";
    QTest::newRow("blanks") << "release dir/image with blanks.bin";
    QTest::newRow("quotes") << "say \"hi\" it's.bin";
    QTest::newRow("ampersand") << "a & touch pwned_amp & b.bin";
    QTest::newRow("substitution") << "$(touch pwned_subst).bin";
    QTest::newRow("backticks and pipes") << "`touch pwned_tick`;|<x>.hex";
    QTest::newRow("leading dash") << "-w evil.bin";
    QTest::newRow("all at once") << "-dir & $(touch pwned_dir)/-\"q\" 'x' & $(touch pwned) .bin";
    QTest::newRow("command interpreter's own") << "100% ^done & (x) !PATH! %PATH%.bin";
    QTest::newRow("Cyrillic and blanks") << "выпуск 1/образ с пробелами.bin";
}

void ProgrammerTest::flashRunsBothStepsInOrderWithOddNames()
{
    QFETCH(QString, relativeImage);
    if (relativeImage.contains(QRegularExpression(QStringLiteral("[\"<>|]"))))
        POSIX_ONLY("Windows file names cannot hold \" < > |");
    FakeProgrammer fake;
    const QString absoluteImage = writeFile(m_dir->filePath(relativeImage));
    QVERIFY(!absoluteImage.isEmpty());

    const FlashPlan plan = ProgrammerCommands::planFlashing(relativeImage);
    QVERIFY2(plan.ok(), qPrintable(plan.error));
    QCOMPARE(plan.program, FakeProgrammer::builtPath());
    const RunResult result = runToEnd(plan);

    QCOMPARE(result.outcome, ProgrammerRunner::Outcome::Succeeded);
    QCOMPARE(result.message, QStringLiteral("Прошивка завершена"));
    const QList<FakeProgrammer::Run> runs = fake.runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].arguments, optionBytesArguments);
    QCOMPARE(runs[1].arguments, eraseAndWrite(absoluteImage));
    QCOMPARE(result.commandLines.size(), 2);
    // Both streams of both runs, in order.
    const qsizetype optionBytes = result.streamed.indexOf(QLatin1String("fake programmer: option bytes"));
    const qsizetype write = result.streamed.indexOf(QLatin1String("fake programmer: erase and write"));
    QVERIFY(optionBytes >= 0 && write > optionBytes);
    QVERIFY(result.streamed.contains(QLatin1String("error stream: erase and write")));
    QCOMPARE(strayFiles(m_dir->path()), QStringList());
}

void ProgrammerTest::programmerPathWithOddCharactersIsStartedDirectly()
{
    FakeProgrammer fake;
    // Windows runs only files named .exe, and no file name there holds a double quote.
    const QString programName =
        TestPlatform::isPosix() ? QStringLiteral("-\"prog\" here") : QStringLiteral("-prog here.exe");
    const QString oddProgram =
        m_dir->filePath(QStringLiteral("tools & $(touch pwned) 'x' 100% ^y/") + programName);
    QDir().mkpath(QFileInfo(oddProgram).absolutePath());
    QVERIFY(QFile::copy(FakeProgrammer::builtPath(), oddProgram));
    fake.setProgram(oddProgram);
    const QString image = writeFile(m_dir->filePath(QStringLiteral("image.bin")));

    const RunResult result = runToEnd(ProgrammerCommands::planFlashing(image));
    QCOMPARE(result.outcome, ProgrammerRunner::Outcome::Succeeded);
    QCOMPARE(fake.runs().size(), 2);
    QCOMPARE(fake.runs()[1].arguments, eraseAndWrite(image));
}

void ProgrammerTest::failuresAreToldApart_data()
{
    QTest::addColumn<QByteArray>("optionBytes");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<ProgrammerRunner::Outcome>("outcome");
    QTest::addColumn<int>("expectedRuns");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("lastStepOutput");

    using O = ProgrammerRunner::Outcome;
    QTest::newRow("option bytes exit code") << QByteArray("exit:3") << QByteArray("ok") << O::ExitedWithError
                                            << 1 << "завершился с ошибкой, код 3"
                                            << "option bytes";
    QTest::newRow("option bytes crash")
        << QByteArray("crash") << QByteArray("ok") << O::Crashed << 1 << "аварийно завершился"
        << "option bytes";
    QTest::newRow("option bytes hang")
        << QByteArray("hang") << QByteArray("ok") << O::TimedOut << 1
        << QStringLiteral("не завершился за %1 с").arg(shortTimeoutMs / 1000.0) << "option bytes";
    QTest::newRow("write exit code") << QByteArray("ok") << QByteArray("exit:1") << O::ExitedWithError << 2
                                     << "завершился с ошибкой, код 1 (стирание и запись)"
                                     << "erase and write";
    QTest::newRow("write crash") << QByteArray("ok") << QByteArray("crash") << O::Crashed << 2
                                 << "аварийно завершился (стирание и запись)"
                                 << "erase and write";
    QTest::newRow("write hang") << QByteArray("ok") << QByteArray("hang") << O::TimedOut << 2
                                << "был остановлен (стирание и запись)"
                                << "erase and write";
}

void ProgrammerTest::failuresAreToldApart()
{
    QFETCH(QByteArray, optionBytes);
    QFETCH(QByteArray, write);
    QFETCH(ProgrammerRunner::Outcome, outcome);
    QFETCH(int, expectedRuns);
    QFETCH(QString, expectedText);
    QFETCH(QString, lastStepOutput);

    FakeProgrammer fake;
    fake.setOptionBytesBehaviour(optionBytes);
    fake.setWriteBehaviour(write);
    const RunResult result =
        runToEnd(ProgrammerCommands::planFlashing(writeFile(m_dir->filePath("image.bin")), shortTimeouts));

    QCOMPARE(result.outcome, outcome);
    QCOMPARE(fake.runs().size(), expectedRuns);
    QVERIFY2(result.message.contains(expectedText), qPrintable(result.message));
    QVERIFY(result.message.contains(QStringLiteral("Последние строки вывода программатора:\n")));
    QVERIFY(result.message.contains(QLatin1String("fake programmer: ") + lastStepOutput));
    QVERIFY(result.message.contains(QLatin1String("fake programmer error stream: ") + lastStepOutput));
    for (const FakeProgrammer::Run &run : fake.runs())
        QVERIFY(!FakeProgrammer::processExists(run.processId));
}

void ProgrammerTest::programmerThatCannotBeStarted()
{
    FakeProgrammer fake;
    fake.setProgram(writeFile(m_dir->filePath(QStringLiteral("not executable")), "#!/bin/sh\nexit 0\n"));
    const RunResult result =
        runToEnd(ProgrammerCommands::planFlashing(writeFile(m_dir->filePath("image.bin"))));
    QCOMPARE(result.outcome, ProgrammerRunner::Outcome::FailedToStart);
    QVERIFY2(result.message.startsWith(
                 QStringLiteral("Не удалось запустить программатор «") +
                 QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("not executable")))),
             qPrintable(result.message));
    QVERIFY(result.message.contains(QStringLiteral("Программатор ничего не вывел.")));
    QCOMPARE(result.commandLines.size(), 1);
}

void ProgrammerTest::failureMessageCarriesTheLastLines()
{
    FakeProgrammer fake;
    fake.setExtraOutputLines(50);
    fake.setOptionBytesBehaviour("exit:2");
    const RunResult result =
        runToEnd(ProgrammerCommands::planFlashing(writeFile(m_dir->filePath("image.bin"))));
    QCOMPARE(result.outcome, ProgrammerRunner::Outcome::ExitedWithError);
    // Twenty lines: output lines 33 to 50 and the two closing lines of both streams.
    QVERIFY(result.message.contains(QLatin1String("output line 33\n")));
    QVERIFY(result.message.contains(QLatin1String("output line 50\n")));
    QVERIFY(!result.message.contains(QLatin1String("output line 32\n")));
    QCOMPARE(result.streamed.count(QLatin1String("output line ")), 50);

    QCOMPARE(ProgrammerRunner::lastLines(QStringLiteral("a\r\nb\n\n  \nc\rd\n"), 3),
             QStringLiteral("b\nc\nd"));
}

void ProgrammerTest::cancelKillsAndReapsTheProgrammer()
{
    FakeProgrammer fake;
    fake.setOptionBytesBehaviour("hang");
    const FlashPlan plan = ProgrammerCommands::planFlashing(writeFile(m_dir->filePath("image.bin")));
    ProgrammerRunner runner;
    QSignalSpy finished(&runner, &ProgrammerRunner::finished);
    runner.start(plan.program, plan.steps);
    QTRY_COMPARE(fake.runs().size(), 1);
    QTRY_VERIFY(runner.output().contains(QLatin1String("error stream")));
    const qint64 processId = fake.runs()[0].processId;
    QVERIFY(FakeProgrammer::processExists(processId));

    runner.cancel();
    QVERIFY(!runner.isRunning());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].toBool(), false);
    QCOMPARE(runner.outcome(), ProgrammerRunner::Outcome::Cancelled);
    QVERIFY(runner.message().contains(QStringLiteral("прервана")));
    QVERIFY(!FakeProgrammer::processExists(processId));
    QTest::qWait(50);
    QCOMPARE(fake.runs().size(), 1); // the write step never started
}

void ProgrammerTest::destroyingTheRunnerLeavesNoProgrammerBehind()
{
    FakeProgrammer fake;
    fake.setOptionBytesBehaviour("hang");
    const FlashPlan plan = ProgrammerCommands::planFlashing(writeFile(m_dir->filePath("image.bin")));
    auto runner = std::make_unique<ProgrammerRunner>();
    runner->start(plan.program, plan.steps);
    QTRY_COMPARE(fake.runs().size(), 1);
    const qint64 processId = fake.runs()[0].processId;
    runner.reset();
    QVERIFY(!FakeProgrammer::processExists(processId));
}

// A programmer that hangs is ended with whatever it started, by the time-out and by an interrupt of
// quillon-cli itself (Ctrl+C), which no longer reaches a programmer in a process group of its own.
void ProgrammerTest::timeOutEndsTheProgrammersHelpers()
{
    FakeProgrammer fake;
    fake.setOptionBytesBehaviour("hang-with-helper");
    writeFile(m_dir->filePath(QStringLiteral("image.bin")));
    QProcess timedOut;
    timedOut.start(cliPath(), {QStringLiteral("flash"), QStringLiteral("--timeout"), QStringLiteral("1"),
                               QStringLiteral("image.bin")});
    QVERIFY(timedOut.waitForFinished(30000));
    QCOMPARE(timedOut.exitCode(), 1);
    QCOMPARE(fake.helperIds().size(), 1);
    QTRY_VERIFY(!FakeProgrammer::processRuns(fake.helperIds().first()));

    // Windows' console hands Ctrl+C to every process attached to it, the programmer's too.
    POSIX_ONLY("Ctrl+C as a signal to quillon-cli alone");
    QProcess interrupted;
    interrupted.start(cliPath(), {QStringLiteral("flash"), QStringLiteral("image.bin")});
    QTRY_COMPARE(fake.helperIds().size(), 2);
    const qint64 programmer = fake.runs().last().processId;
    QVERIFY(TestPlatform::interruptProcess(interrupted.processId()));
    QVERIFY(interrupted.waitForFinished(30000));
    QTRY_VERIFY(!FakeProgrammer::processRuns(programmer));
    QTRY_VERIFY(!FakeProgrammer::processRuns(fake.helperIds().last()));
}

void ProgrammerTest::helperOfAFinishedRunIsEnded()
{
    FakeProgrammer fake;
    fake.setOptionBytesBehaviour("ok-with-helper");
    const RunResult result =
        runToEnd(ProgrammerCommands::planFlashing(writeFile(m_dir->filePath("image.bin"))));
    QCOMPARE(result.outcome, ProgrammerRunner::Outcome::Succeeded);
    QCOMPARE(fake.helperIds().size(), 1);
    QTRY_VERIFY(!FakeProgrammer::processRuns(fake.helperIds().first()));
}

void ProgrammerTest::errorLinesOfASuccessfulExitAreAWarning()
{
    FakeProgrammer fake;
    fake.setWriteBehaviour("error-lines");
    const RunResult result =
        runToEnd(ProgrammerCommands::planFlashing(writeFile(m_dir->filePath("image.bin"))));
    QCOMPARE(result.outcome, ProgrammerRunner::Outcome::SucceededWithErrors);
    QCOMPARE(fake.runs().size(), 2);
    QVERIFY2(!result.message.contains(QStringLiteral("Прошивка завершена")), qPrintable(result.message));
    QVERIFY2(result.message.endsWith(
                 QStringLiteral("\nError: No STM32 target found!\nError: Connection to the target failed")),
             qPrintable(result.message));
    QCOMPARE(ProgrammerRunner::errorLines(QStringLiteral("ok\r\nNo Error: here\rERROR : bad\n")),
             QStringList{QStringLiteral("ERROR : bad")});
}

// quillon-cli killed outright has no chance to end its programmer: the system does (Linux:
// PR_SET_PDEATHSIG; Windows: the Job object closing with the program).
void ProgrammerTest::killedProgramTakesTheProgrammerAlong()
{
    FakeProgrammer fake;
    fake.setOptionBytesBehaviour("hang");
    writeFile(m_dir->filePath(QStringLiteral("image.bin")));
    QProcess cli;
    cli.start(cliPath(), {QStringLiteral("flash"), QStringLiteral("image.bin")});
    QTRY_COMPARE_WITH_TIMEOUT(fake.runs().size(), 1, 30000);
    const qint64 programmer = fake.runs().first().processId;
    QVERIFY(FakeProgrammer::processRuns(programmer));
    cli.kill();
    QVERIFY(cli.waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(!FakeProgrammer::processRuns(programmer), 10000);
}

void ProgrammerTest::cliExitCodes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("optionBytes");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("expectedRuns");
    QTest::addColumn<QString>("errorText");

    const QString image = QStringLiteral("image.bin");
    QTest::newRow("success") << QStringList{image} << QByteArray("ok") << QByteArray("ok") << 0 << 2
                             << "Complete! Прошивка завершена";
    QTest::newRow("no image") << QStringList{} << QByteArray("ok") << QByteArray("ok") << 2 << 0
                              << "IMAGE is missing";
    QTest::newRow("two images") << QStringList{image, image} << QByteArray("ok") << QByteArray("ok") << 2 << 0
                                << "exactly one IMAGE";
    QTest::newRow("bad timeout") << QStringList{"--timeout", "soon", image} << QByteArray("ok")
                                 << QByteArray("ok") << 2 << 0 << "--timeout";
    QTest::newRow("image not found") << QStringList{"absent.bin"} << QByteArray("ok") << QByteArray("ok") << 1
                                     << 0 << "Error! Файл прошивки не найден";
    QTest::newRow("option bytes fail") << QStringList{image} << QByteArray("exit:7") << QByteArray("ok") << 1
                                       << 1 << "Error! Программатор завершился с ошибкой, код 7";
    QTest::newRow("write crash") << QStringList{image} << QByteArray("ok") << QByteArray("crash") << 1 << 2
                                 << "Error! Программатор аварийно завершился";
    QTest::newRow("write hang") << QStringList{"--timeout", "1", image} << QByteArray("ok")
                                << QByteArray("hang") << 1 << 2 << "не завершился за 1 с";
    // The programmer erases the board before it writes: with nothing to write it must not run.
    QTest::newRow("empty image") << QStringList{QStringLiteral("empty.bin")} << QByteArray("ok")
                                 << QByteArray("ok") << 1 << 0 << "пуст: прошивать нечего";
    QTest::newRow("Intel HEX without data") << QStringList{QStringLiteral("nodata.hex")} << QByteArray("ok")
                                            << QByteArray("ok") << 1 << 0 << "пуст: прошивать нечего";
    QTest::newRow("malformed Intel HEX")
        << QStringList{QStringLiteral("bad.hex")} << QByteArray("ok") << QByteArray("ok") << 1 << 0
        << "bad.hex» не читается как Intel HEX: строка 2: неверная контрольная сумма";
    // A damaged first record makes no binary of the text.
    QTest::newRow("damaged first record")
        << QStringList{QStringLiteral("first.hex")} << QByteArray("ok") << QByteArray("ok") << 1 << 0
        << "first.hex» не читается как Intel HEX: строка 1:";
    QTest::newRow("malformed S-records")
        << QStringList{QStringLiteral("bad.srec")} << QByteArray("ok") << QByteArray("ok") << 1 << 0
        << "bad.srec» не читается как S-record: строка 1:";
}

void ProgrammerTest::cliExitCodes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, optionBytes);
    QFETCH(QByteArray, write);
    QFETCH(int, exitCode);
    QFETCH(int, expectedRuns);
    QFETCH(QString, errorText);

    FakeProgrammer fake;
    fake.setOptionBytesBehaviour(optionBytes);
    fake.setWriteBehaviour(write);
    writeFile(m_dir->filePath(QStringLiteral("image.bin")));
    writeFile(m_dir->filePath(QStringLiteral("empty.bin")), QByteArray());
    writeFile(m_dir->filePath(QStringLiteral("nodata.hex")), ":020000040800F2\r\n:00000001FF\r\n");
    writeFile(m_dir->filePath(QStringLiteral("bad.hex")),
              ":0100000011EE\r\n:0100010022DD\r\n:00000001FF\r\n");
    writeFile(m_dir->filePath(QStringLiteral("first.hex")), ":0100000011EF\r\n:00000001FF\r\n");
    writeFile(m_dir->filePath(QStringLiteral("bad.srec")), "S1060000010203F4\r\nS9030000FC\r\n");

    QProcess cli;
    cli.start(cliPath(), QStringList{QStringLiteral("flash")} + arguments);
    QVERIFY(cli.waitForFinished(30000));
    const QString errors = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(errors));
    QVERIFY2(errors.contains(errorText), qPrintable(errors));
    QCOMPARE(fake.runs().size(), expectedRuns);
}

void ProgrammerTest::cliStreamsOutputAndPassesOddPaths()
{
    FakeProgrammer fake;
    // No file name on Windows holds a double quote.
    const QString name = TestPlatform::isPosix() ? QStringLiteral("out dir/$(touch pwned) & \"v1\".bin")
                                                 : QStringLiteral("out dir/$(touch pwned) & 100% ^v1.bin");
    const QString image = writeFile(m_dir->filePath(name));
    QProcess cli;
    cli.start(cliPath(), {QStringLiteral("flash"), image});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const QString output = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY(output.contains(QLatin1String("fake programmer: option bytes")));
    QVERIFY(output.contains(QLatin1String("fake programmer error stream: erase and write")));
    const QString errors = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(errors.count(QLatin1String("> ")), 2);
    QCOMPARE(fake.runs().size(), 2);
    QCOMPARE(fake.runs()[1].arguments, eraseAndWrite(image));
}

void ProgrammerTest::cliTakesARelativeImageStartingWithADash()
{
    FakeProgrammer fake;
    const QString image = writeFile(m_dir->filePath(QStringLiteral("-w evil.bin")));
    QProcess cli;
    cli.setWorkingDirectory(m_dir->path());
    cli.start(cliPath(), {QStringLiteral("flash"), QStringLiteral("--"), QStringLiteral("-w evil.bin")});
    QVERIFY(cli.waitForFinished(30000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
    QCOMPARE(fake.runs().size(), 2);
    QCOMPARE(fake.runs()[1].arguments, eraseAndWrite(image));
}

QTEST_GUILESS_MAIN(ProgrammerTest)
#include "tst_programmer.moc"
