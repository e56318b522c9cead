#pragma once

#include <QStringList>

// One function per quillon-cli job. Each gets the arguments after the job's name and returns the
// process exit code: 0 success, 1 the job failed, 2 a usage error.
namespace CliExit {
constexpr int Success = 0;
constexpr int Failed = 1;
constexpr int Usage = 2;
} // namespace CliExit

int runConvertCommand(const QStringList &arguments);
int runLoRaCommand(const QStringList &arguments);
int runBinaryCommand(const QStringList &arguments);
int runIntelHexCommand(const QStringList &arguments);
int runFlashCommand(const QStringList &arguments);
int runInfoCommand(const QStringList &arguments);
int runCompareCommand(const QStringList &arguments);
int runStampCommand(const QStringList &arguments);
