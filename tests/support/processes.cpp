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

QString builtProgram(const QString &pathAtBuildTime)
{
    const QString buildTree = QStringLiteral(QUILLON_BUILD_TREE);
    const QString runTree = qEnvironmentVariable("QUILLON_TEST_BIN_DIR", buildTree);
    if (!pathAtBuildTime.startsWith(buildTree + QLatin1Char('/')))
        return pathAtBuildTime;
    return runTree + pathAtBuildTime.mid(buildTree.size());
}

QString cliPath()
{
    return builtProgram(QStringLiteral(QUILLON_CLI_PATH));
}

ProcessRun runCli(const QStringList &arguments, const QString &workingDir)
{
    return runProcess(cliPath(), arguments, workingDir);
}
