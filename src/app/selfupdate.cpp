#include "selfupdate.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryFile>

#include "filedigest.h"
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

    // One limit for both files: a server that answers each just in time must not add them up.
    const QDeadlineTimer deadline(timeouts.totalMs);
    const auto remaining = [&] {
        UpdateTimeouts left = timeouts;
        left.totalMs = int(qMax<qint64>(1, deadline.remainingTime()));
        return left;
    };
    const UpdateDownload manifest = UpdateDownload::fetch(source.fileUrl(manifestFileName()),
                                                          UpdateManifest::MaxManifestBytes, remaining());
    if (!manifest.succeeded())
        return skip(QStringLiteral("%1: %2").arg(manifestFileName(), manifest.problem));
    const UpdateDownload signature = UpdateDownload::fetch(source.fileUrl(signatureFileName()),
                                                           UpdateSignature::SignatureBytes, remaining());
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
    if (sha256OfFile(m_executablePath) == m_release.sha256)
        return skip(QStringLiteral("version %1 is the running build").arg(m_release.version.toString()));
    // A system-wide installation cannot be replaced by the user: nothing is offered then.
    const QString folder = QFileInfo(m_executablePath).absolutePath();
    QTemporaryFile probe(
        QDir(folder).filePath(Platform::downloadedExecutableName() + QStringLiteral(".XXXXXX")));
    if (!probe.open())
        return skip(QStringLiteral("version %1 cannot be installed: the folder %2 cannot be written (%3)")
                        .arg(m_release.version.toString(), folder, probe.errorString()));
    return true;
}

bool SelfUpdate::download(const UpdateSource &source, const DownloadProgress &progress,
                          const UpdateTimeouts &timeouts)
{
    m_problem.clear();
    m_cancelled = false;
    discardDownload();
    if (m_release.version.isNull())
        return fail(QStringLiteral("нет найденной новой версии"));
    const QString folder = QFileInfo(m_executablePath).absolutePath();
    m_download = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(Platform::downloadedExecutableName() + QStringLiteral(".XXXXXX")));
    if (!m_download->open())
        return failDownload(QStringLiteral("не удалось записать в каталог «%1» (%2)")
                                .arg(QDir::toNativeSeparators(folder), m_download->errorString()));

    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray head;
    qint64 received = 0;
    const auto cancelRequested = [&] {
        m_cancelled = m_cancelled || (progress && !progress(received, m_release.size));
        return m_cancelled;
    };
    UpdateTimeouts noOverallLimit = timeouts;
    noOverallLimit.totalMs = 0;
    const UpdateDownload executable = UpdateDownload::stream(
        source.fileUrl(executableFileName()), m_release.size,
        [&](const QByteArray &piece) {
            if (head.size() < 64)
                head += piece.left(64 - head.size());
            hash.addData(piece);
            received += piece.size();
            return !cancelRequested() && m_download->write(piece) == piece.size();
        },
        noOverallLimit, progress ? std::function<bool()>(cancelRequested) : std::function<bool()>());
    if (m_cancelled)
        return failDownload(QStringLiteral("загрузка отменена"));
    if (!executable.succeeded())
        return failDownload(QStringLiteral("%1: %2").arg(executableFileName(), executable.problem));
    if (!m_download->flush())
        return failDownload(QStringLiteral("%1: %2").arg(m_download->fileName(), m_download->errorString()));
    // Closed for good: a file still open for writing cannot be started ("text file busy").
    m_downloadedPath = m_download->fileName();
    m_download->setAutoRemove(false);
    m_download.reset();
    return checkDownload(executable.received, hash.result().toHex(), head);
}

bool SelfUpdate::checkDownload(qint64 received, const QByteArray &sha256, const QByteArray &head)
{
    if (received != m_release.size)
        return failDownload(QStringLiteral("%1 has %2 bytes, the manifest says %3")
                                .arg(executableFileName())
                                .arg(received)
                                .arg(m_release.size));
    if (sha256 != m_release.sha256)
        return failDownload(
            QStringLiteral("the SHA-256 of %1 differs from the manifest's").arg(executableFileName()));
    if (!Platform::isNativeExecutable(head))
        return failDownload(
            QStringLiteral("%1 is not an executable for this platform").arg(executableFileName()));
    return true;
}

bool SelfUpdate::failDownload(const QString &problem)
{
    discardDownload();
    return fail(problem);
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

    // The start-up clean-up removed what an earlier update left here; anything else of that name
    // is not the program's to replace.
    for (const QString &path : {old, script})
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return fail(QStringLiteral("файл «%1» уже существует").arg(QDir::toNativeSeparators(path)));
    const QByteArray oldSha256 = sha256OfFile(executable);
    if (oldSha256.isEmpty())
        return fail(QStringLiteral("не удалось прочитать «%1»").arg(QDir::toNativeSeparators(executable)));

    const QFileDevice::Permissions permissions = QFile::permissions(executable) | QFileDevice::ReadOwner |
                                                 QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                 QFileDevice::ExeUser;
    if (!QFile::setPermissions(downloaded, permissions))
        return fail(QStringLiteral("не удалось сделать исполняемым «%1»").arg(downloaded));
    if (!renameFile(executable, old, &error))
        return fail(QStringLiteral("не удалось переименовать «%1» в «%2» (%3)").arg(executable, old, error));
    if (!writeText(script, Platform::cleanupScriptText(old, oldSha256), &error)) {
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

bool acceptAndInstall(SelfUpdate &update, const UpdateSource &source, Reporter &reporter,
                      const DownloadProgress &progress, const UpdateTimeouts &timeouts)
{
    StartupLog::note(QStringLiteral("update offered: ") + update.release().version.toString());
    if (!update.offer(reporter)) {
        StartupLog::note(QStringLiteral("update declined"));
        return false;
    }
    if (!update.download(source, progress, timeouts)) {
        StartupLog::note(QStringLiteral("update not downloaded: ") + update.problem());
        if (!update.wasCancelled())
            reporter.message(MessageKind::Critical, ReportTitle::error(),
                             SelfUpdate::notInstalledText(update.problem()));
        return false;
    }
    if (!update.install()) {
        StartupLog::note(QStringLiteral("update not installed: ") + update.problem());
        reporter.message(MessageKind::Critical, ReportTitle::error(),
                         SelfUpdate::notInstalledText(update.problem()));
        return false;
    }
    return true;
}

RestartOutcome restartInstalled(SelfUpdate &update, SingleInstance &instance)
{
    // The new build must find the lock free, or it would take itself for a second start.
    instance.release();
    if (update.restart()) {
        StartupLog::note(QStringLiteral("update installed: restarting"));
        return RestartOutcome::Restarted;
    }
    StartupLog::note(QStringLiteral("update not started: ") + update.problem());
    // Another start may have taken the lock in the meantime: then it shows the window.
    if (!instance.reclaim() && instance.claim() != SingleInstance::Claim::First)
        return RestartOutcome::AnotherInstanceRuns;
    instance.listen();
    return RestartOutcome::NotStarted;
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
    if (!acceptAndInstall(update, source, reporter, {}, timeouts))
        return false;
    switch (restartInstalled(update, instance)) {
    case RestartOutcome::Restarted:
    case RestartOutcome::AnotherInstanceRuns:
        return true;
    case RestartOutcome::NotStarted:
        break;
    }
    reporter.message(MessageKind::Critical, ReportTitle::error(),
                     SelfUpdate::notInstalledText(update.problem()));
    return false;
}
