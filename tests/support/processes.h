#pragma once

#include <QString>
#include <QStringList>

// Running a real program to its end: quillon-cli, or a tool nobody here wrote.
struct ProcessRun {
    int exitCode = -1; // -1 when it did not start, did not end in time or crashed
    QString out;
    QString err;
};

ProcessRun runProcess(const QString &program, const QStringList &arguments, const QString &workingDir = {},
                      int timeoutMs = 120000);

// The quillon-cli of this build.
QString cliPath();
ProcessRun runCli(const QStringList &arguments, const QString &workingDir = {});
