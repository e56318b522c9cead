#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QString>
#include <QVersionNumber>

#include "updatedownload.h"
#include "updatemanifest.h"
#include "updatesource.h"

class QTemporaryFile;

// Hears how much of the executable has arrived; false cancels the download.
using DownloadProgress = std::function<bool(qint64 done, qint64 total)>;
class Reporter;
class SingleInstance;

// Replaces the program's executable by a newer release published on the update server. A release
// is three files under "<address>/QUILL/": the executable "Quillon.exe", its manifest
// "Quillon.exe.json" (version, size, SHA-256) and "Quillon.exe.json.sig", the Ed25519 signature
// of the manifest's exact bytes. The steps are separate so that the caller can give up its
// single-instance lock before the new build starts:
//   findRelease() -> offer() -> download() -> install() -> restart()
// findRelease() reads only the small signed manifest; the executable is downloaded once the user
// agreed. Nothing is trusted before it is checked: the signature first, then a strictly newer
// version, then the downloaded executable's size and SHA-256 against the manifest. install()
// either swaps the files completely or leaves them as they were; restart() undoes the swap when
// the new build cannot be started.
class SelfUpdate {
public:
    static QString title() { return QStringLiteral("Доступно обновление"); }
    static QString question() { return QStringLiteral("Доступна новая версия ПО, обновить?"); }
    // What the user is told when an accepted update could not be put in place.
    static QString notInstalledText(const QString &reason);

    static QString executableFileName() { return QStringLiteral("Quillon.exe"); }
    static QString manifestFileName() { return QStringLiteral("Quillon.exe.json"); }
    static QString signatureFileName() { return QStringLiteral("Quillon.exe.json.sig"); }
    static QVersionNumber runningVersion();

    explicit SelfUpdate(const QString &executablePath, const QVersionNumber &running = runningVersion());
    ~SelfUpdate();

    // Looks for a newer signed release, within timeouts.totalMs for the manifest and its signature.
    // True when it can be offered; otherwise skipReason() says why. Without an address or a public
    // key no request is sent; when the executable's folder cannot be written nothing is offered.
    // Touches nothing of this object's but the release, so it may run on another thread.
    bool findRelease(const UpdateSource &source, const UpdateTimeouts &timeouts = {});
    const UpdateManifest &release() const { return m_release; }
    const QString &skipReason() const { return m_skipReason; }
    // Downloads the found release's executable into the executable's folder and checks it against
    // the manifest. progress (when given) hears of every piece and cancels by returning false.
    // False, with nothing left behind, when it failed (problem() says why) or was cancelled.
    bool download(const UpdateSource &source, const DownloadProgress &progress = {},
                  const UpdateTimeouts &timeouts = {});
    bool wasCancelled() const { return m_cancelled; }
    // The downloaded executable, until it is installed (removed with this object otherwise).
    QString downloadedPath() const;

    // Asks the user; true means Yes.
    bool offer(Reporter &reporter) const;

    // Moves the executable aside, writes the clean-up script and moves the new build into the
    // executable's place. On any failure every file is as before, false is returned and problem()
    // says why.
    bool install();
    // Starts the installed build detached in the current working directory. When it cannot be
    // started the swap is rolled back, false is returned and problem() says why.
    bool restart();
    const QString &problem() const { return m_problem; }

    QString executablePath() const { return m_executablePath; }
    QString oldExecutablePath() const;
    QString cleanupScriptPath() const;

private:
    bool skip(const QString &reason);
    void discardDownload();
    bool checkDownload(qint64 received, const QByteArray &sha256, const QByteArray &head);
    bool failDownload(const QString &problem);
    bool fail(const QString &problem);
    void rollBack();

    QString m_executablePath;
    QVersionNumber m_runningVersion;
    UpdateManifest m_release;
    std::unique_ptr<QTemporaryFile> m_download; // while it is being downloaded
    QString m_downloadedPath;                   // once complete and closed, until installed
    QString m_skipReason;
    QString m_problem;
    bool m_installed = false;
    bool m_cancelled = false;
};

// After the question: when the user agrees, downloads the release with progress, checks and
// installs it. True when it is installed and the program is to restart into it. A failure is
// reported to the user; a cancelled download is not.
bool acceptAndInstall(SelfUpdate &update, const UpdateSource &source, Reporter &reporter,
                      const DownloadProgress &progress = {}, const UpdateTimeouts &timeouts = {});

enum class RestartOutcome {
    Restarted,           // the new build runs: this process is to end
    AnotherInstanceRuns, // the new build did not start, and another start took the lock meanwhile
    NotStarted,          // rolled back (problem() says why); this instance holds the lock again
};
// Hands the instance lock over and starts the installed build.
RestartOutcome restartInstalled(SelfUpdate &update, SingleInstance &instance);

// The whole update at once, for a caller with no window yet: finds a release, asks, installs and
// restarts. True when this process is to end; false when the program is to run on as it is.
// Why nothing was offered goes to the start-up log; an accepted update that cannot be put in
// place is reported to the user.
bool updateAtStartup(const QString &executablePath, const UpdateSource &source, Reporter &reporter,
                     SingleInstance &instance, const UpdateTimeouts &timeouts = {});
