#pragma once

#include <QByteArray>
#include <QString>

class QFileDevice;
class QProcess;

// The few things that differ between Windows and Linux. One implementation per platform is
// compiled (platform_windows.cpp / platform_linux.cpp); everything else in the program is portable.
namespace Platform {

// Shows a folder in the desktop's file manager (explorer on Windows, the desktop's default
// handler through xdg-open on Linux). Does not wait for the file manager; false when it could not
// be started.
bool showFolder(const QString &folderPath);

// File names of the self-update: the program's own executable as published, the downloaded
// build, the moved-aside old executable and the clean-up script left for the next start.
QString publishedExecutableName();  // "Quillon.exe" / "Quillon"
QString downloadedExecutableName(); // "Quillon_new.exe" / "Quillon_new"
QString oldExecutableName();        // "Quillon.old.exe" / "Quillon.old"
QString cleanupScriptName();        // "quillon-update-cleanup.bat" / "quillon-update-cleanup.sh"
// What versions before them called the last two; a leftover of those is removed only when it is
// recognisably the program's.
QString legacyOldExecutableName(); // "Old" on both
QString legacyCleanupScriptName(); // "delete.bat" / "delete.sh"

// Whether the bytes look like an executable this platform can start ("MZ" on Windows, an ELF
// header on Linux), so an HTML error page is never taken for a new build.
bool isNativeExecutable(const QByteArray &data);

// The clean-up script text for the given moved-aside executable path (written beside it). Its first
// line marks it as the program's and records the SHA-256 (hex) of the moved-aside executable, so
// that the next start removes that file only while it is still the build moved aside.
QByteArray cleanupScriptText(const QString &oldExecutablePath, const QByteArray &oldSha256);
// The text versions before it wrote, to recognise a leftover of theirs.
QByteArray legacyCleanupScriptText(const QString &oldExecutablePath);

// Runs the clean-up script as a child process and waits up to timeoutMs for it.
void runCleanupScript(const QString &scriptPath, int timeoutMs);

// Whether only the logged-in user can create, replace or remove entries in the directory (on
// Linux: a directory, not a symbolic link, owned by the user, that no group or other account may
// write), so that names put there cannot be taken first by another account. When not, problem
// says why.
bool isPrivateDirectory(const QString &path, QString *problem);
// Whether the entry itself (a symbolic link is not followed) belongs to the logged-in user.
bool isOwnedByCurrentUser(const QString &path);
// The per-user folder for the single-instance guard's lock: the private runtime directory on Linux
// (XDG_RUNTIME_DIR), %LOCALAPPDATA%\Quillon on Windows (made when missing). Empty when there is none.
QString instanceLockDirectory();
// The name of the single-instance guard's local channel: a socket in the private runtime
// directory on Linux; on Windows, whose pipes have a namespace of their own, a name carrying the
// user.
QString instanceServerName(const QString &runtimeDirectory, const QString &key);

// Starts the process (when it is started later) as the first of a process group of its own, so that
// whatever it starts in turn can be ended together with it, and ties the group's life to this
// program's: on Linux the process is killed when this program dies (PR_SET_PDEATHSIG); on Windows it
// runs in a Job object that ends it, and all it started, when this program's handle closes.
void startInOwnProcessGroup(QProcess &process);
// Ends a process started so at once, with every process it started that is still running; once
// the process has finished, ends what is left of its group (helpers it did not wait for).
void killProcessGroup(QProcess &process);
// A process group of its own no longer gets the terminal's Ctrl+C: from now on an interrupt, a
// termination or a hang-up of this program ends the running process group started above first,
// then this program as the signal would have.
void endProcessGroupOnInterrupt();

// From now on an interrupt (Ctrl+C) or a request to end this program (SIGTERM, SIGHUP; Ctrl+Break or
// the console closing on Windows) calls `interrupted(signal)` instead of ending it, once: a second
// one ends the program as the signal would. `interrupted` runs inside a signal handler (on a thread
// of its own on Windows), so it may only set lock-free atomics. Null: the signals end the program
// again.
void setInterruptHandler(void (*interrupted)(int signal));
// Whether standard error is a terminal (and not a file or a pipe).
bool standardErrorIsTerminal();
// Lets the standard streams carry the program's UTF-8 text unchanged: a Windows console is told to
// show UTF-8 (it would read the bytes in an OEM code page such as 866) until the program ends, and
// "\n" is no longer turned into "\r\n", so output sent to a file is the same bytes on every platform.
void useUtf8StandardStreams();

// Asks the system to put what was written to the open file on the disk (fsync, FlushFileBuffers),
// so that a power cut after the file replaces another cannot leave an empty one. The file's own
// buffer is flushed first. False when the system could not.
bool flushToDisk(QFileDevice &file);
// The same for a folder's entries, after a file was renamed into it (Windows has nothing to flush).
bool flushFolderToDisk(const QString &folderPath);
// Renames `from` to `to` in one step, replacing a file of that name (QFile::rename refuses to).
bool replaceFile(const QString &from, const QString &to);

// Whether a process of that id runs on this machine. A process this program may not look at counts
// as running: only a process known to be gone is not.
bool processRuns(qint64 processId);

// Where the STM32 programmer is installed by default, and its executable's file name.
QString defaultProgrammerPath();
QString programmerExecutableName();

} // namespace Platform

// Both script texts are built on every platform so that each can be checked by the tests here.
namespace CleanupScript {
// The Windows batch file: deletes the old executable (named from the script's own folder, which
// is the old executable's) until it is gone, then itself.
QByteArray windowsText(const QString &oldExecutablePath, const QByteArray &oldSha256);
QByteArray legacyWindowsText(QString oldExecutablePath);
// Where versions before it wrote the Windows batch file for that path: its file name replaced by
// "delete.bat", with "\\" separators.
QString windowsScriptPath(QString oldExecutablePath);
// The POSIX shell equivalents.
QByteArray posixText(const QString &oldExecutablePath, const QByteArray &oldSha256);
QByteArray legacyPosixText(const QString &oldExecutablePath);
// The SHA-256 the first line of a clean-up script text records; empty when the text does not
// start with the program's mark.
QByteArray recordedDigest(const QByteArray &scriptText);
} // namespace CleanupScript
