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

// A program of this build, given by the path the build gave it (a $<TARGET_FILE> in CMake), found in
// the build tree the tests run from: QUILLON_TEST_BIN_DIR, which may name the same tree as the
// running system sees it (under Wine, the drive letter of the Linux root).
QString builtProgram(const QString &pathAtBuildTime);
// The quillon-cli of this build.
QString cliPath();
ProcessRun runCli(const QStringList &arguments, const QString &workingDir = {});
