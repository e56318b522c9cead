#include "platform.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QList>
#include <QMultiHash>
#include <QProcess>
#include <QStandardPaths>
#include <QVariant>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

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

// When the process started, to tell a child from an older process that merely inherited the id
// of a parent long gone.
static ULONGLONG creationTime(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    const bool known = GetProcessTimes(process, &created, &exited, &kernel, &user);
    CloseHandle(process);
    return known ? (ULONGLONG(created.dwHighDateTime) << 32) | created.dwLowDateTime : 0;
}

// The process and every process it started, and they in turn, that still run: what taskkill /T
// ends (Wine's taskkill has no /T), found through the parent id each process keeps.
static QList<DWORD> processTree(DWORD root)
{
    QMultiHash<DWORD, DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (bool more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            if (entry.th32ProcessID != entry.th32ParentProcessID)
                children.insert(entry.th32ParentProcessID, entry.th32ProcessID);
        CloseHandle(snapshot);
    }
    QList<DWORD> tree{root};
    for (qsizetype next = 0; next < tree.size(); ++next) {
        const ULONGLONG parentStarted = creationTime(tree.at(next));
        for (DWORD child : children.values(tree.at(next)))
            if (!tree.contains(child) && creationTime(child) >= parentStarted)
                tree.append(child);
    }
    return tree;
}

// Ends the tree from the top, so that no process in it starts another meanwhile.
static void terminateProcessTree(DWORD root)
{
    for (DWORD processId : processTree(root)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
        if (process) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
}

// Properties kept on a started QProcess: its Job object and its process id, which QProcess forgets
// once the process has ended.
static constexpr const char *JobProperty = "quillonJob";
static constexpr const char *RootProperty = "quillonProcessTree";

// A Job object holding the process, that kills its processes when its last handle closes.
static HANDLE jobForProcess(DWORD processId)
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    HANDLE process = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, processId);
    const bool joined =
        process && SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
        AssignProcessToJobObject(job, process);
    if (process)
        CloseHandle(process);
    if (!joined) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
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
    return QStringLiteral("Quillon.old.exe");
}
QString cleanupScriptName()
{
    return QStringLiteral("quillon-update-cleanup.bat");
}
QString legacyOldExecutableName()
{
    return QStringLiteral("Old");
}
QString legacyCleanupScriptName()
{
    return QStringLiteral("delete.bat");
}

bool isNativeExecutable(const QByteArray &data)
{
    return data.startsWith("MZ");
}

QByteArray cleanupScriptText(const QString &oldExecutablePath, const QByteArray &oldSha256)
{
    return CleanupScript::windowsText(oldExecutablePath, oldSha256);
}

QByteArray legacyCleanupScriptText(const QString &oldExecutablePath)
{
    return CleanupScript::legacyWindowsText(oldExecutablePath);
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

QString instanceLockDirectory()
{
    QString localAppData = qEnvironmentVariable("LOCALAPPDATA");
    if (localAppData.isEmpty())
        localAppData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (localAppData.isEmpty())
        return QString();
    const QString directory = QDir(localAppData).filePath(QStringLiteral("Quillon"));
    return QDir().mkpath(directory) ? directory : QString();
}

QString instanceServerName(const QString &runtimeDirectory, const QString &key)
{
    // The folder's digest keeps guards over different lock folders (a second profile, a test) apart.
    const QByteArray folder = QDir::cleanPath(runtimeDirectory).toLower().toUtf8();
    const QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(12);
    return key + QLatin1Char('-') + currentUserId() + QLatin1Char('-') + QString::fromLatin1(digest);
}

void startInOwnProcessGroup(QProcess &process)
{
    // Windows keeps the parent of every process, so the tree is found without a group; the Job
    // object also ends it when this program dies, however it dies.
    QObject::connect(&process, &QProcess::started, &process, [&process] {
        const HANDLE job = jobForProcess(DWORD(process.processId()));
        if (!job)
            return;
        process.setProperty(JobProperty, quintptr(job));
        process.setProperty(RootProperty, process.processId());
        // Closing the last handle ends whatever of the job still runs.
        QObject::connect(&process, &QObject::destroyed, [job] { CloseHandle(job); });
    });
}

void killProcessGroup(QProcess &process)
{
    const auto job = HANDLE(process.property(JobProperty).value<quintptr>());
    if (job)
        TerminateJobObject(job, 1);
    // A process that left the job, or one started before the job took the programmer in.
    const qint64 root =
        process.processId() > 0 ? process.processId() : process.property(RootProperty).toLongLong();
    if (root > 0 && process.state() != QProcess::NotRunning)
        terminateProcessTree(DWORD(root));
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

void useUtf8StandardStreams()
{
    // The console belongs to the shell that started us: its own code page comes back at exit.
    static const UINT previousCodePage = GetConsoleOutputCP();
    if (previousCodePage != 0 && previousCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        std::atexit([] { SetConsoleOutputCP(previousCodePage); });
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool flushToDisk(QFileDevice &file)
{
    if (!file.flush() || file.handle() < 0)
        return false;
    const auto handle = HANDLE(_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}

bool flushFolderToDisk(const QString &folderPath)
{
    // NTFS puts a rename in its journal; a folder cannot be opened for flushing without privileges.
    Q_UNUSED(folderPath);
    return true;
}

bool replaceFile(const QString &from, const QString &to)
{
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool processRuns(qint64 processId)
{
    if (processId <= 0 || DWORD(processId) != processId)
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exitCode = 0;
    const bool running = !GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

QString defaultProgrammerPath()
{
    // Where STM32CubeProgrammer's installer puts it: under Program Files, which need not be on C:.
    const QString programFiles =
        QDir::fromNativeSeparators(qEnvironmentVariable("ProgramFiles", QStringLiteral("C:\\Program Files")));
    return programFiles +
           QStringLiteral("/STMicroelectronics/STM32Cube/STM32CubeProgrammer/bin/STM32_Programmer_CLI.exe");
}

QString programmerExecutableName()
{
    return QStringLiteral("STM32_Programmer_CLI.exe");
}

} // namespace Platform
