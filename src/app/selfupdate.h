#pragma once

#include <QByteArray>
#include <QString>

#include "app/updatedownload.h"

class Reporter;

// Replaces the program's executable by the build published on the update server. The steps are
// separate so that the caller can give up its single-instance lock before the new build starts:
//   fetchNewBuild() -> offer() -> install() -> restart()
// install() either swaps the files completely or leaves them as they were; restart() undoes the
// swap when the new build cannot be started.
class SelfUpdate {
public:
    static QString title() { return QStringLiteral("Доступно обновление"); }
    static QString question() { return QStringLiteral("Доступна новая версия ПО, обновить?"); }

    // SHA-256 of the data as 64 lower-case hexadecimal digits.
    static QString fileDigest(const QByteArray &data);

    explicit SelfUpdate(const QString &executablePath);

    // Downloads the published build. True when it is a complete executable for this platform and
    // differs from the running one; newBuild() then holds it.
    bool fetchNewBuild(const QString &serverAddress, const UpdateTimeouts &timeouts = {});
    // The same decision for a download already made (fetchNewBuild's second half).
    bool acceptDownload(const UpdateDownload &download);
    const QByteArray &newBuild() const { return m_newBuild; }
    // Why the last fetch offered nothing ("" when it offered a build).
    const QString &skipReason() const { return m_skipReason; }

    // Asks the user; true means Yes.
    bool offer(Reporter &reporter) const;

    // Stores the new build beside the executable, moves the executable aside, writes the clean-up
    // script and moves the new build into the executable's place. On any failure every file is as
    // before and false is returned.
    bool install();
    // Starts the installed build detached in the current working directory. When it cannot be
    // started the swap is rolled back and false is returned.
    bool restart();

    QString executablePath() const { return m_executablePath; }
    QString downloadedPath() const;
    QString oldExecutablePath() const;
    QString cleanupScriptPath() const;

private:
    void rollBack();

    QString m_executablePath;
    QByteArray m_newBuild;
    QString m_skipReason;
    bool m_installed = false;
};

class SingleInstance;

// The update step of start-up for the first instance: with an update server configured, fetches
// the published build and, when it differs and the user agrees, installs it, hands the instance
// lock over and starts it. True when the new build was started and this process is to end;
// false when the program is to run on as it is.
bool updateAtStartup(const QString &executablePath, const QString &serverAddress, Reporter &reporter,
                     SingleInstance &instance, const UpdateTimeouts &timeouts = {});
