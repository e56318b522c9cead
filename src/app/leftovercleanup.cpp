#include "leftovercleanup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "filedigest.h"
#include "platform.h"

namespace {

// Far more than any script the program writes; a bigger file is not one of them.
constexpr qint64 MaxScriptBytes = 64 * 1024;

QByteArray readSmallRegularFile(const QString &path)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxScriptBytes || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(MaxScriptBytes);
}

bool startsLikeAnExecutable(const QString &path)
{
    QFile file(path);
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) &&
           Platform::isNativeExecutable(file.read(64));
}

bool finishCurrentUpdate(const QDir &directory, int timeoutMs)
{
    const QString scriptPath = directory.filePath(Platform::cleanupScriptName());
    const QByteArray script = readSmallRegularFile(scriptPath);
    const QByteArray digest = CleanupScript::recordedDigest(script);
    if (digest.isEmpty())
        return false;
    const QString old = directory.filePath(Platform::oldExecutableName());
    const bool oldIsOurs = sha256OfFile(old) == digest;
    // The script runs only as the program wrote it; the old build may still be held for a moment
    // by the process that just ended, which the script waits out.
    if (oldIsOurs && script == Platform::cleanupScriptText(old, digest))
        Platform::runCleanupScript(scriptPath, timeoutMs);
    if (oldIsOurs && QFileInfo::exists(old))
        QFile::remove(old);
    QFile::remove(scriptPath);
    return oldIsOurs && !QFileInfo::exists(old);
}

bool finishLegacyUpdate(const QDir &directory)
{
    const QString scriptPath = directory.filePath(Platform::legacyCleanupScriptName());
    const QString old = directory.filePath(Platform::legacyOldExecutableName());
    const QByteArray script = readSmallRegularFile(scriptPath);
    if (script.isEmpty() || script != Platform::legacyCleanupScriptText(old))
        return false;
    const bool removed = startsLikeAnExecutable(old) && QFile::remove(old);
    QFile::remove(scriptPath);
    return removed;
}

// What SelfUpdate downloads into: the build's name, a dot and six random letters or digits.
void removeAbandonedDownloads(const QDir &directory)
{
    const QRegularExpression name(QStringLiteral("^%1\\.[A-Za-z0-9]{6}$")
                                      .arg(QRegularExpression::escape(Platform::downloadedExecutableName())));
    const QStringList candidates =
        directory.entryList({Platform::downloadedExecutableName() + QStringLiteral(".*")},
                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &candidate : candidates) {
        const QString path = directory.filePath(candidate);
        // Empty when it was cut off before the first byte arrived.
        if (name.match(candidate).hasMatch() && (QFileInfo(path).size() == 0 || startsLikeAnExecutable(path)))
            QFile::remove(path);
    }
}

} // namespace

bool finishLeftoverUpdate(const QString &executableDirectory, int timeoutMs)
{
    const QDir directory(executableDirectory);
    removeAbandonedDownloads(directory);
    const bool current = finishCurrentUpdate(directory, timeoutMs);
    const bool legacy = finishLegacyUpdate(directory);
    return current || legacy;
}
