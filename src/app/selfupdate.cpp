#include "app/selfupdate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include "app/singleinstance.h"
#include "common/reporter.h"
#include "common/savefile.h"
#include "platform/platform.h"

QString SelfUpdate::fileDigest(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

SelfUpdate::SelfUpdate(const QString &executablePath)
    : m_executablePath(QFileInfo(executablePath).absoluteFilePath())
{}

QString SelfUpdate::downloadedPath() const
{
    return QFileInfo(m_executablePath).dir().filePath(Platform::downloadedExecutableName());
}

QString SelfUpdate::oldExecutablePath() const
{
    return QFileInfo(m_executablePath).dir().filePath(Platform::oldExecutableName());
}

QString SelfUpdate::cleanupScriptPath() const
{
    return QFileInfo(m_executablePath).dir().filePath(Platform::cleanupScriptName());
}

bool SelfUpdate::fetchNewBuild(const QString &serverAddress, const UpdateTimeouts &timeouts)
{
    return acceptDownload(UpdateDownload::fetch(publishedBuildUrl(serverAddress), timeouts));
}

bool SelfUpdate::acceptDownload(const UpdateDownload &download)
{
    m_newBuild.clear();
    if (!download.succeeded()) {
        m_skipReason = download.problem;
        return false;
    }
    if (!Platform::isNativeExecutable(download.body)) {
        m_skipReason = QStringLiteral("not an executable");
        return false;
    }
    QByteArray running;
    QFile executable(m_executablePath);
    if (executable.open(QIODevice::ReadOnly))
        running = executable.readAll();
    if (fileDigest(running) == fileDigest(download.body)) {
        m_skipReason = QStringLiteral("same build");
        return false;
    }
    m_skipReason.clear();
    m_newBuild = download.body;
    return true;
}

bool SelfUpdate::offer(Reporter &reporter) const
{
    return reporter.ask(title(), question());
}

static bool storeExecutable(const QString &path, const QByteArray &data, QFileDevice::Permissions permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !commitSaveFile(file))
        return false;
    return QFile::setPermissions(path, permissions);
}

static bool writeText(const QString &path, const QByteArray &text)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && commitSaveFile(file);
}

bool SelfUpdate::install()
{
    if (m_newBuild.isEmpty() || m_installed)
        return false;
    const QString executable = m_executablePath;
    const QString downloaded = downloadedPath();
    const QString old = oldExecutablePath();
    const QString script = cleanupScriptPath();

    // An "Old" left by an update whose clean-up did not run would block the move aside.
    if (QFileInfo::exists(old) && !QFile::remove(old))
        return false;

    const QFileDevice::Permissions permissions = QFile::permissions(executable) | QFileDevice::ReadOwner |
                                                 QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                 QFileDevice::ExeUser;
    if (!storeExecutable(downloaded, m_newBuild, permissions)) {
        QFile::remove(downloaded);
        return false;
    }
    if (!QFile::rename(executable, old)) {
        QFile::remove(downloaded);
        return false;
    }
    if (!writeText(script, Platform::cleanupScriptText(old))) {
        QFile::rename(old, executable);
        QFile::remove(downloaded);
        return false;
    }
    if (!QFile::rename(downloaded, executable)) {
        QFile::remove(script);
        QFile::rename(old, executable);
        QFile::remove(downloaded);
        return false;
    }
    m_installed = true;
    return true;
}

bool SelfUpdate::restart()
{
    if (!m_installed)
        return false;
    if (QProcess::startDetached(m_executablePath, {}, QDir::currentPath()))
        return true;
    rollBack();
    return false;
}

void SelfUpdate::rollBack()
{
    QFile::remove(cleanupScriptPath());
    if (QFile::remove(m_executablePath))
        QFile::rename(oldExecutablePath(), m_executablePath);
    m_installed = false;
}

bool updateAtStartup(const QString &executablePath, const QString &serverAddress, Reporter &reporter,
                     SingleInstance &instance, const UpdateTimeouts &timeouts)
{
    if (serverAddress.isEmpty())
        return false;
    SelfUpdate update(executablePath);
    if (!update.fetchNewBuild(serverAddress, timeouts) || !update.offer(reporter) || !update.install())
        return false;
    // The new build must find the lock free, or it would take itself for a second start.
    instance.release();
    if (update.restart())
        return true;
    instance.reclaim();
    return false;
}
