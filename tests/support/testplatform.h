#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// What the tests do differently on POSIX systems and on Windows, one implementation per platform
// (testplatform_posix.cpp, testplatform_windows.cpp). Checks that need what only POSIX has (file
// modes and owners, FIFOs, devices under /dev, signals) skip elsewhere with POSIX_ONLY and a reason.
namespace TestPlatform {

// True where the tests run on a POSIX system, false on Windows.
bool isPosix();
// Root reads and writes whatever its modes say; Windows has no such user here.
bool isSuperUser();
// chmod; false where there are no POSIX modes.
bool setMode(const QString &path, unsigned mode);
// chown to the account "nobody" (root only); false where that cannot be done.
bool giveToNobody(const QString &path);
// Whether two file names that differ only in case name the same file (Windows).
bool fileNamesIgnoreCase();
// Sets the process's umask and gives the old one; nothing and 0 where there is none.
unsigned exchangeUmask(unsigned mask);
// mkfifo; false where there are no FIFOs.
bool makeFifo(const QString &path);
// Writes the bytes into a FIFO once a reader has opened it (within a few seconds), then closes it.
bool writeToFifo(const QString &path, const QByteArray &bytes);

// Text as QSettings and the configuration file write it here: "\r\n" line ends on Windows.
QByteArray settingsText(QByteArray text);

// Whether a process of that id still exists (a reaped child no longer does).
bool processExists(qint64 processId);
// Whether it still runs (a killed process not yet reaped by its new parent does not).
bool processRuns(qint64 processId);
// Stops a process as a debugger would (SIGSTOP; NtSuspendProcess), and lets it go on.
bool suspendProcess(qint64 processId);
bool resumeProcess(qint64 processId);
// Asks a process to end (SIGTERM; on Windows it is ended at once).
bool terminateProcess(qint64 processId);
// The terminal's Ctrl+C to that one process (SIGINT); false where there is no such signal.
bool interruptProcess(qint64 processId);
// The hang-up a closed terminal or a dropped SSH session sends (SIGHUP); false where there is none.
bool hangUpProcess(qint64 processId);

// Counts the opens of watched files, by whatever process, as the kernel reports them (inotify on
// Linux). Windows tells no such thing: there nothing can be watched.
class OpenCounter {
public:
    OpenCounter();
    ~OpenCounter();
    OpenCounter(const OpenCounter &) = delete;
    OpenCounter &operator=(const OpenCounter &) = delete;

    // False when the file cannot be watched.
    bool watch(const QString &path);
    // The opens of each watched file so far, by path; files not opened are left out.
    QMap<QString, int> opens();

private:
    int m_handle = -1;
    QMap<int, QString> m_paths; // by watch
    QMap<QString, int> m_opens;
};

} // namespace TestPlatform

#define POSIX_ONLY(reason)                                                                                   \
    do {                                                                                                     \
        if (!TestPlatform::isPosix())                                                                        \
            QSKIP("POSIX only: " reason);                                                                    \
    } while (false)
