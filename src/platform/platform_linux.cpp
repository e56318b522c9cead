#include "platform.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <atomic>
#include <csignal>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The process group to end when this program is interrupted; 0 while none runs.
std::atomic<pid_t> runningGroup{0};

void endRunningGroupAndExit(int signal)
{
    const pid_t group = runningGroup.load();
    if (group > 0)
        ::kill(-group, SIGKILL);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

namespace Platform {

bool showFolder(const QString &folderPath)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {QDir(folderPath).absolutePath()});
}

QString publishedExecutableName()
{
    return QStringLiteral("Quillon");
}
QString downloadedExecutableName()
{
    return QStringLiteral("Quillon_new");
}
QString oldExecutableName()
{
    return QStringLiteral("Old");
}
QString cleanupScriptName()
{
    return QStringLiteral("delete.sh");
}

bool isNativeExecutable(const QByteArray &data)
{
    return data.startsWith("\x7f"
                           "ELF");
}

QByteArray cleanupScriptText(const QString &oldExecutablePath)
{
    return CleanupScript::posixText(oldExecutablePath);
}

void runCleanupScript(const QString &scriptPath, int timeoutMs)
{
    QProcess script;
    script.start(QStringLiteral("/bin/sh"), {scriptPath});
    script.waitForFinished(timeoutMs);
}

bool isPrivateDirectory(const QString &path, QString *problem)
{
    struct stat status {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        *problem = QStringLiteral("«%1» не существует").arg(path);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        *problem = QStringLiteral("«%1» не каталог").arg(path);
        return false;
    }
    if (status.st_uid != getuid()) {
        *problem = QStringLiteral("каталог «%1» принадлежит другому пользователю").arg(path);
        return false;
    }
    if (status.st_mode & (S_IWGRP | S_IWOTH)) {
        *problem = QStringLiteral("в каталог «%1» могут писать другие пользователи").arg(path);
        return false;
    }
    return true;
}

bool isOwnedByCurrentUser(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && status.st_uid == getuid();
}

QString instanceLockDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString instanceServerName(const QString &runtimeDirectory, const QString &key)
{
    // A full path: QLocalServer then uses it as the socket file instead of one in /tmp.
    return QDir(runtimeDirectory).filePath(key + QStringLiteral(".socket"));
}

void startInOwnProcessGroup(QProcess &process)
{
    // Runs in the child between fork and exec: only async-signal-safe calls belong here.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    QObject::connect(&process, &QProcess::started, &process,
                     [&process] { runningGroup = pid_t(process.processId()); });
    QObject::connect(&process, &QProcess::finished, &process, [&process] {
        pid_t group = pid_t(process.processId());
        runningGroup.compare_exchange_strong(group, 0);
    });
}

void killProcessGroup(QProcess &process)
{
    const qint64 leader = process.processId();
    if (leader > 0)
        ::kill(-pid_t(leader), SIGKILL);
    process.kill();
}

void setInterruptHandler(void (*interrupted)(int signal))
{
    struct sigaction action = {};
    action.sa_handler = interrupted ? interrupted : SIG_DFL;
    // The handler is taken down as it is called: a second signal ends the program.
    action.sa_flags = interrupted ? SA_RESETHAND | SA_RESTART : 0;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

bool standardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void endProcessGroupOnInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = endRunningGroupAndExit;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

void useUtf8StandardStreams()
{
    // The streams take bytes as they are, and terminals here expect UTF-8.
}

QString defaultProgrammerPath()
{
    return QDir::homePath() +
           QStringLiteral("/STMicroelectronics/STM32Cube/STM32CubeProgrammer/bin/STM32_Programmer_CLI");
}

QString programmerExecutableName()
{
    return QStringLiteral("STM32_Programmer_CLI");
}

} // namespace Platform
