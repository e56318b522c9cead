#include "platform.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QVariant>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The process group to end when this program is interrupted; 0 while none runs.
std::atomic<pid_t> runningGroup{0};
// The group a started process leads, kept on the QProcess: its process id is gone once it ends.
constexpr const char *GroupProperty = "quillonProcessGroup";

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
    return QStringLiteral("Quillon.old");
}
QString cleanupScriptName()
{
    return QStringLiteral("quillon-update-cleanup.sh");
}
QString legacyOldExecutableName()
{
    return QStringLiteral("Old");
}
QString legacyCleanupScriptName()
{
    return QStringLiteral("delete.sh");
}

bool isNativeExecutable(const QByteArray &data)
{
    return data.startsWith("\x7f"
                           "ELF");
}

QByteArray cleanupScriptText(const QString &oldExecutablePath, const QByteArray &oldSha256)
{
    return CleanupScript::posixText(oldExecutablePath, oldSha256);
}

QByteArray legacyCleanupScriptText(const QString &oldExecutablePath)
{
    return CleanupScript::legacyPosixText(oldExecutablePath);
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
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: only async-signal-safe calls belong here.
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // This program may have died before the request took effect.
        if (::getppid() != parent)
            ::_exit(127);
    });
    QObject::connect(&process, &QProcess::started, &process, [&process] {
        const auto group = pid_t(process.processId());
        process.setProperty(GroupProperty, qint64(group));
        runningGroup = group;
    });
    QObject::connect(&process, &QProcess::finished, &process, [&process] {
        pid_t group = pid_t(process.property(GroupProperty).toLongLong());
        runningGroup.compare_exchange_strong(group, 0);
    });
}

void killProcessGroup(QProcess &process)
{
    // The group outlives its leader while a helper of the leader still runs in it.
    const qint64 group = process.property(GroupProperty).toLongLong();
    if (group > 0)
        ::kill(-pid_t(group), SIGKILL);
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

bool flushToDisk(QFileDevice &file)
{
    return file.flush() && file.handle() >= 0 && ::fsync(file.handle()) == 0;
}

bool flushFolderToDisk(const QString &folderPath)
{
    const int folder = ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return false;
    const bool flushed = ::fsync(folder) == 0;
    ::close(folder);
    return flushed;
}

bool replaceFile(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool processRuns(qint64 processId)
{
    if (processId <= 0 || pid_t(processId) != processId)
        return false;
    if (::kill(pid_t(processId), 0) != 0 && errno != EPERM)
        return false;
    // A killed process stays until its parent takes note of its end; it runs no longer.
    QFile status(QStringLiteral("/proc/%1/stat").arg(processId));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = status.readLine();
    const qsizetype nameEnd = line.lastIndexOf(')');
    return nameEnd < 0 || line.mid(nameEnd + 2, 1) != "Z";
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
