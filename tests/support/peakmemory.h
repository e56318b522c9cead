#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "testplatform.h"

// Runs a program under GNU time and gives its peak resident memory in KiB (-1 when it could not be
// measured, as on Windows), so that a test can tell a job that streams its inputs from one that holds them.
struct MeasuredRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 peakKiB = -1;
};

inline MeasuredRun runMeasured(const QString &program, const QStringList &arguments,
                               const QString &workingDirectory = QString(), int timeoutMs = 120000)
{
    MeasuredRun run;
    QTemporaryDir scratch;
    const QString report = scratch.filePath(QStringLiteral("peak"));
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    // Under AddressSanitizer freed memory is held back to catch late uses; it would count as held.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString asanOptions = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       asanOptions + (asanOptions.isEmpty() ? QString() : QStringLiteral(":")) +
                           QStringLiteral("quarantine_size_mb=0"));
    process.setProcessEnvironment(environment);
    // Without GNU time (a Windows build under Wine) the program runs alone and nothing is measured.
    if (TestPlatform::isPosix())
        process.start(QStringLiteral("/usr/bin/time"), QStringList{QStringLiteral("-f"), QStringLiteral("%M"),
                                                                   QStringLiteral("-o"), report, program} +
                                                           arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    QFile file(report);
    if (file.open(QIODevice::ReadOnly)) {
        // GNU time writes "Command exited with non-zero status N" before the figure.
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        bool ok = false;
        const qint64 kib = lines.last().trimmed().toLongLong(&ok);
        run.peakKiB = ok ? kib : -1;
    }
    return run;
}
