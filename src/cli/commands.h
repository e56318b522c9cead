#pragma once

#include <optional>

#include <QStringList>

class CommandLine;
struct BinaryJob;
struct IntelHexJoinJob;
struct LoRaJob;

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
int runMapCommand(const QStringList &arguments);

// The inputs of the three tab jobs as quillon-cli reads them, shared by each job and by "map": the
// job's options are declared on `commandLine`, `arguments` parsed, and the job made from the
// window's defaults or a --settings file with the options over them, as the job itself runs it. No
// value: `job` is ready; a value: the exit code to end with (the help was shown, or a usage error
// said). `forMap`: nothing is to be written, so no output directory or name is asked for.
std::optional<int> readLoRaJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                               LoRaJob &job);
std::optional<int> readBinaryJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                                 BinaryJob &job);
std::optional<int> readIntelHexJob(CommandLine &commandLine, const QStringList &arguments, bool forMap,
                                   IntelHexJoinJob &job);
