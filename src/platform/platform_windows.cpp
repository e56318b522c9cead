#include "platform.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <atomic>
#include <csignal>
#include <cstdio>

#include <io.h>
#include <windows.h>

namespace {

std::atomic<void (*)(int)> interruptHandler{nullptr};

// Runs on a thread of its own. The first event goes to the handler; a second one, or one with no
// handler, is left to the default, which ends the program.
BOOL WINAPI onConsoleEvent(DWORD event)
{
    void (*handler)(int) = interruptHandler.exchange(nullptr);
    if (!handler)
        return FALSE;
    handler(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    return TRUE;
}

} // namespace

// The logged-in user's name, safe inside a pipe name, so that the channels of two users never meet.
static QString currentUserId()
{
    // Pipe names must not carry separators or blanks; a user name may hold blanks.
    QString user = qEnvironmentVariable("USERNAME");
    for (QChar &character : user)
        if (!character.isLetterOrNumber())
            character = QLatin1Char('_');
    return user;
}

namespace Platform {

bool showFolder(const QString &folderPath)
{
    // explorer takes the path as one argument with backslashes; QProcess quotes it when it holds
    // blanks, so a folder with blanks opens as itself.
    return QProcess::startDetached(QStringLiteral("explorer"), {QDir::toNativeSeparators(folderPath)});
}

QString publishedExecutableName()
{
    return QStringLiteral("Quillon.exe");
}
QString downloadedExecutableName()
{
    return QStringLiteral("Quillon_new.exe");
}
QString oldExecutableName()
{
    return QStringLiteral("Old");
}
QString cleanupScriptName()
{
    return QStringLiteral("delete.bat");
}

bool isNativeExecutable(const QByteArray &data)
{
    return data.startsWith("MZ");
}

QByteArray cleanupScriptText(const QString &oldExecutablePath)
{
    return CleanupScript::windowsText(oldExecutablePath);
}

void runCleanupScript(const QString &scriptPath, int timeoutMs)
{
    QProcess script;
    script.start(QDir::toNativeSeparators(scriptPath), {});
    script.waitForFinished(timeoutMs);
}

bool isPrivateDirectory(const QString &path, QString *problem)
{
    // A user's profile folders are protected by their access lists; there is no world-writable
    // runtime folder to fall into as there is /tmp.
    if (QFileInfo(path).isDir())
        return true;
    *problem = QStringLiteral("«%1» не каталог").arg(path);
    return false;
}

bool isOwnedByCurrentUser(const QString &path)
{
    // Only the user (and administrators) can create entries in the user's profile folders.
    return QFileInfo::exists(path);
}

QString instanceServerName(const QString &runtimeDirectory, const QString &key)
{
    Q_UNUSED(runtimeDirectory);
    return key + QLatin1Char('-') + currentUserId();
}

void startInOwnProcessGroup(QProcess &process)
{
    // Windows keeps the parent of every process: taskkill /T finds the whole tree without a group.
    Q_UNUSED(process);
}

void killProcessGroup(QProcess &process)
{
    const qint64 root = process.processId();
    if (root > 0)
        QProcess::execute(QStringLiteral("taskkill"), {QStringLiteral("/PID"), QString::number(root),
                                                       QStringLiteral("/T"), QStringLiteral("/F")});
    process.kill();
}

void setInterruptHandler(void (*interrupted)(int signal))
{
    interruptHandler = interrupted;
    static const bool installed = SetConsoleCtrlHandler(onConsoleEvent, TRUE) != 0;
    Q_UNUSED(installed);
}

bool standardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

void endProcessGroupOnInterrupt()
{
    // The console's Ctrl+C reaches every process attached to it, the programmer included.
}

QString defaultProgrammerPath()
{
    return QStringLiteral("C:/Program Files/STMicroelectronics/STM32Cube/STM32CubeProgrammer/bin/"
                          "STM32_Programmer_CLI.exe");
}

QString programmerExecutableName()
{
    return QStringLiteral("STM32_Programmer_CLI.exe");
}

} // namespace Platform
