#include "processes.h"

#include <QProcess>

ProcessRun runProcess(const QString &program, const QStringList &arguments, const QString &workingDir,
                      int timeoutMs)
{
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    ProcessRun run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        run.err = QStringLiteral("did not finish: ") + process.errorString() +
                  QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString cliPath()
{
    return qEnvironmentVariable("QUILLON_TEST_BIN_DIR") + QStringLiteral("/src/cli/quillon-cli");
}

ProcessRun runCli(const QStringList &arguments, const QString &workingDir)
{
    return runProcess(cliPath(), arguments, workingDir);
}
