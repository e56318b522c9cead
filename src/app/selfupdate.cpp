#include "selfupdate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryFile>

#include "platform.h"
#include "reporter.h"
#include "savefile.h"
#include "singleinstance.h"
#include "startuplog.h"
#include "updatesignature.h"

QString SelfUpdate::notInstalledText(const QString &reason)
{
    return QStringLiteral("Обновление не установлено: %1. Программа продолжит работу в текущей версии.")
        .arg(reason);
}

QVersionNumber SelfUpdate::runningVersion()
{
    return QVersionNumber::fromString(QStringLiteral(QUILLON_VERSION));
}

// Read piece by piece: the running executable may be large. Empty when it cannot be read.
static QByteArray digestOfFile(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QByteArray();
    return hash.result().toHex();
}

SelfUpdate::SelfUpdate(const QString &executablePath, const QVersionNumber &running)
    : m_executablePath(QFileInfo(executablePath).absoluteFilePath()), m_runningVersion(running)
{}

SelfUpdate::~SelfUpdate()
{
    discardDownload();
}

QString SelfUpdate::downloadedPath() const
{
    return m_downloadedPath;
}

void SelfUpdate::discardDownload()
{
    m_download.reset();
    if (!m_downloadedPath.isEmpty() && !m_installed)
        QFile::remove(m_downloadedPath);
    m_downloadedPath.clear();
}

QString SelfUpdate::oldExecutablePath() const
{
    return QFileInfo(m_executablePath).dir().filePath(Platform::oldExecutableName());
}

QString SelfUpdate::cleanupScriptPath() const
{
    return QFileInfo(m_executablePath).dir().filePath(Platform::cleanupScriptName());
}

bool SelfUpdate::skip(const QString &reason)
{
    m_skipReason = reason;
    discardDownload();
    return false;
}

bool SelfUpdate::findRelease(const UpdateSource &source, const UpdateTimeouts &timeouts)
{
    m_skipReason.clear();
    discardDownload();
    if (source.address.isEmpty())
        return skip(QStringLiteral("no update address"));
    if (source.publicKey.isEmpty())
        return skip(source.keyProblem.isEmpty() ? QStringLiteral("no public key to check releases with")
                                                : source.keyProblem);

    const UpdateDownload manifest =
        UpdateDownload::fetch(source.fileUrl(manifestFileName()), UpdateManifest::MaxManifestBytes, timeouts);
    if (!manifest.succeeded())
        return skip(QStringLiteral("%1: %2").arg(manifestFileName(), manifest.problem));
    const UpdateDownload signature =
        UpdateDownload::fetch(source.fileUrl(signatureFileName()), UpdateSignature::SignatureBytes, timeouts);
    if (!signature.succeeded())
        return skip(QStringLiteral("%1: %2").arg(signatureFileName(), signature.problem));
    if (!UpdateSignature::verify(source.publicKey, manifest.body, signature.body))
        return skip(QStringLiteral("%1 is not signed with the public key").arg(manifestFileName()));

    QString problem;
    const std::optional<UpdateManifest> release = UpdateManifest::parse(manifest.body, &problem);
    if (!release)
        return skip(problem);
    m_release = *release;
    if (!UpdateManifest::isNewer(m_release.version, m_runningVersion))
        return skip(QStringLiteral("version %1 is not newer than the running %2")
                        .arg(m_release.version.toString(), m_runningVersion.toString()));
    return downloadExecutable(source, timeouts);
}

bool SelfUpdate::downloadExecutable(const UpdateSource &source, const UpdateTimeouts &timeouts)
{
    // Downloaded where it will be installed: when the folder cannot be written (a system-wide
    // installation), there is nothing to offer.
    const QString folder = QFileInfo(m_executablePath).absolutePath();
    m_download = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(Platform::downloadedExecutableName() + QStringLiteral(".XXXXXX")));
    if (!m_download->open())
        return skip(QStringLiteral("version %1 cannot be installed: the folder %2 cannot be written (%3)")
                        .arg(m_release.version.toString(), folder, m_download->errorString()));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray head;
    const UpdateDownload executable = UpdateDownload::stream(
        source.fileUrl(executableFileName()), m_release.size,
        [&](const QByteArray &piece) {
            if (head.size() < 64)
                head += piece.left(64 - head.size());
            hash.addData(piece);
            return m_download->write(piece) == piece.size();
        },
        timeouts);
    if (!executable.succeeded())
        return skip(QStringLiteral("%1: %2").arg(executableFileName(), executable.problem));
    if (!m_download->flush())
        return skip(QStringLiteral("%1: %2").arg(m_download->fileName(), m_download->errorString()));
    // Closed for good: a file still open for writing cannot be started ("text file busy").
    m_downloadedPath = m_download->fileName();
    m_download->setAutoRemove(false);
    m_download.reset();
    if (executable.received != m_release.size)
        return skip(QStringLiteral("%1 has %2 bytes, the manifest says %3")
                        .arg(executableFileName())
                        .arg(executable.received)
                        .arg(m_release.size));
    if (hash.result().toHex() != m_release.sha256)
        return skip(
            QStringLiteral("the SHA-256 of %1 differs from the manifest's").arg(executableFileName()));
    if (!Platform::isNativeExecutable(head))
        return skip(QStringLiteral("%1 is not an executable for this platform").arg(executableFileName()));
    if (digestOfFile(m_executablePath) == m_release.sha256)
        return skip(QStringLiteral("version %1 is the running build").arg(m_release.version.toString()));
    return true;
}

bool SelfUpdate::offer(Reporter &reporter) const
{
    return reporter.ask(title(), question());
}

bool SelfUpdate::fail(const QString &problem)
{
    m_problem = problem;
    return false;
}

static bool writeText(const QString &path, const QByteArray &text, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && commitSaveFile(file))
        return true;
    *error = file.errorString();
    return false;
}

static bool renameFile(const QString &from, const QString &to, QString *error)
{
    QFile file(from);
    if (file.rename(to))
        return true;
    *error = file.errorString();
    return false;
}

bool SelfUpdate::install()
{
    m_problem.clear();
    if (m_downloadedPath.isEmpty() || m_installed)
        return fail(QStringLiteral("нет загруженной новой версии"));
    const QString executable = m_executablePath;
    const QString downloaded = m_downloadedPath;
    const QString old = oldExecutablePath();
    const QString script = cleanupScriptPath();
    QString error;

    // An "Old" left by an update whose clean-up did not run would block the move aside.
    if (QFileInfo::exists(old) && !QFile::remove(old))
        return fail(QStringLiteral("не удалось удалить «%1», оставшийся от прошлого обновления").arg(old));

    const QFileDevice::Permissions permissions = QFile::permissions(executable) | QFileDevice::ReadOwner |
                                                 QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                 QFileDevice::ExeUser;
    if (!QFile::setPermissions(downloaded, permissions))
        return fail(QStringLiteral("не удалось сделать исполняемым «%1»").arg(downloaded));
    if (!renameFile(executable, old, &error))
        return fail(QStringLiteral("не удалось переименовать «%1» в «%2» (%3)").arg(executable, old, error));
    if (!writeText(script, Platform::cleanupScriptText(old), &error)) {
        QFile::rename(old, executable);
        return fail(QStringLiteral("не удалось записать «%1» (%2)").arg(script, error));
    }
    if (!renameFile(downloaded, executable, &error)) {
        QFile::remove(script);
        QFile::rename(old, executable);
        return fail(
            QStringLiteral("не удалось переименовать «%1» в «%2» (%3)").arg(downloaded, executable, error));
    }
    m_downloadedPath.clear();
    m_installed = true;
    return true;
}

bool SelfUpdate::restart()
{
    m_problem.clear();
    if (!m_installed)
        return fail(QStringLiteral("новая версия не установлена"));
    QProcess process;
    process.setProgram(m_executablePath);
    process.setWorkingDirectory(QDir::currentPath());
    if (process.startDetached())
        return true;
    const QString error = process.errorString();
    rollBack();
    return fail(QStringLiteral("не удалось запустить новую версию «%1» (%2)").arg(m_executablePath, error));
}

void SelfUpdate::rollBack()
{
    QFile::remove(cleanupScriptPath());
    if (QFile::remove(m_executablePath))
        QFile::rename(oldExecutablePath(), m_executablePath);
    m_installed = false;
}

bool updateAtStartup(const QString &executablePath, const UpdateSource &source, Reporter &reporter,
                     SingleInstance &instance, const UpdateTimeouts &timeouts)
{
    if (source.address.isEmpty())
        return false;
    SelfUpdate update(executablePath);
    if (!update.findRelease(source, timeouts)) {
        StartupLog::note(QStringLiteral("update skipped: ") + update.skipReason());
        return false;
    }
    StartupLog::note(QStringLiteral("update offered: ") + update.release().version.toString());
    if (!update.offer(reporter)) {
        StartupLog::note(QStringLiteral("update declined"));
        return false;
    }
    if (!update.install()) {
        StartupLog::note(QStringLiteral("update not installed: ") + update.problem());
        reporter.message(MessageKind::Critical, ReportTitle::error(),
                         SelfUpdate::notInstalledText(update.problem()));
        return false;
    }
    // The new build must find the lock free, or it would take itself for a second start.
    instance.release();
    if (update.restart()) {
        StartupLog::note(QStringLiteral("update installed: restarting"));
        return true;
    }
    StartupLog::note(QStringLiteral("update not started: ") + update.problem());
    // Another start may have taken the lock in the meantime: then it shows the window.
    if (!instance.reclaim() && instance.claim() != SingleInstance::Claim::First)
        return true;
    instance.listen();
    reporter.message(MessageKind::Critical, ReportTitle::error(),
                     SelfUpdate::notInstalledText(update.problem()));
    return false;
}
