#pragma once

#include <memory>

#include <QByteArray>
#include <QString>
#include <QVersionNumber>

#include "updatedownload.h"
#include "updatemanifest.h"
#include "updatesource.h"

class QTemporaryFile;
class Reporter;
class SingleInstance;

// Replaces the program's executable by a newer release published on the update server. A release
// is three files under "<address>/QUILL/": the executable "Quillon.exe", its manifest
// "Quillon.exe.json" (version, size, SHA-256) and "Quillon.exe.json.sig", the Ed25519 signature
// of the manifest's exact bytes. The steps are separate so that the caller can give up its
// single-instance lock before the new build starts:
//   findRelease() -> offer() -> install() -> restart()
// findRelease() trusts nothing it has not checked: the signature first, then a strictly newer
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

    // Looks for a newer signed release and downloads its executable into the executable's folder.
    // True when it is ready to be offered; otherwise skipReason() says why. Without an address or
    // a public key no request is sent; when the folder cannot be written the executable is not
    // downloaded.
    bool findRelease(const UpdateSource &source, const UpdateTimeouts &timeouts = {});
    const UpdateManifest &release() const { return m_release; }
    const QString &skipReason() const { return m_skipReason; }
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
    bool downloadExecutable(const UpdateSource &source, const UpdateTimeouts &timeouts);
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
};

// The update step of start-up for the first instance: looks for a newer signed release and, when
// the user agrees, installs it, hands the instance lock over and starts it. True when the new
// build was started and this process is to end; false when the program is to run on as it is.
// Why nothing was offered goes to the start-up log; an accepted update that cannot be put in
// place is reported to the user.
bool updateAtStartup(const QString &executablePath, const UpdateSource &source, Reporter &reporter,
                     SingleInstance &instance, const UpdateTimeouts &timeouts = {});
