#include "common/atomicoutputfile.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr int NameAttempts = 16;
constexpr int LinkDepth = 40;

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(path.toStdU16String());
}

// Writing through a link replaces the file it points to, not the link.
QString resolvedTarget(const QString &path)
{
    QString resolved = path;
    for (int depth = 0; depth < LinkDepth; ++depth) {
        const QFileInfo info(resolved);
        if (!info.isSymLink())
            break;
        resolved = info.symLinkTarget();
    }
    return resolved;
}

QString hiddenNameFor(const QString &targetPath)
{
    const QFileInfo target(targetPath);
    const QString unique = QString::number(QRandomGenerator::global()->generate64(), 36);
    // A target name may use the file system's whole length; the hidden name keeps only its start, so
    // that the dot, the random part and ".part" still fit.
    constexpr int KeptNameLength = 64;
    return target.dir().filePath(
        QStringLiteral(".%1.%2.part").arg(target.fileName().left(KeptNameLength), unique));
}

// Puts the hidden file in the target's place. On Linux an existing target is swapped with it and
// its old contents removed after: ext4 starts writing a file out as soon as it is renamed over
// another (a guard for programs that never sync), which costs more than the whole conversion.
bool replaceTarget(const QString &from, const QString &to, QString *error)
{
#ifdef Q_OS_LINUX
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
        if (::unlink(source.constData()) == 0)
            return true;
        // Something that is not a file took the target's name meanwhile: give it back.
        const int reason = errno;
        ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE);
        *error = qt_error_string(reason);
        return false;
    }
    // No target yet, or a file system that cannot swap: a plain rename does.
#endif
    std::error_code failure;
    std::filesystem::rename(nativePath(from), nativePath(to), failure);
    if (failure) {
        *error = QString::fromStdString(failure.message());
        return false;
    }
    return true;
}

} // namespace

AtomicOutputFile::AtomicOutputFile(const QString &targetPath) : m_targetPath(targetPath) {}

AtomicOutputFile::~AtomicOutputFile()
{
    cancel();
}

bool AtomicOutputFile::open()
{
    cancel();
    m_error.clear();
    const QString target = resolvedTarget(m_targetPath);
    const QFileInfo existing(target);
    if (existing.isDir())
        return fail(QStringLiteral("%1 — это каталог").arg(QDir::toNativeSeparators(target)));
    // A device or a pipe would be replaced by a plain file, not written to.
    if (existing.exists() && !existing.isFile())
        return fail(QStringLiteral("%1 — не обычный файл").arg(QDir::toNativeSeparators(target)));
    // Like QSaveFile: a file made read-only is kept from being replaced.
    if (existing.exists() && !existing.isWritable())
        return fail(QStringLiteral("%1 доступен только для чтения").arg(QDir::toNativeSeparators(target)));
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        m_file.setFileName(hiddenNameFor(target));
        // NewOnly never takes over a file someone else made; the umask sets the permissions.
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            // The User bits tell what this process may do, not what the file's owner may.
            const QFileDevice::Permissions kept =
                existing.permissions() &
                ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
            if (existing.exists() && !m_file.setPermissions(kept))
                return fail(m_file.errorString());
            return true;
        }
        if (!m_file.exists())
            break;
    }
    const QString error = m_file.errorString();
    m_file.setFileName(QString());
    return fail(error);
}

bool AtomicOutputFile::write(const char *data, qint64 size)
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (m_file.write(data, size) != size)
        return fail(m_file.errorString());
    return true;
}

bool AtomicOutputFile::commit()
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    // A full disk often shows only here, when the last buffered bytes go out, or on close.
    if (!m_file.flush())
        return fail(m_file.errorString());
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    QString error;
    if (!replaceTarget(m_file.fileName(), resolvedTarget(m_targetPath), &error))
        return fail(error);
    m_file.setFileName(QString());
    return true;
}

void AtomicOutputFile::cancel()
{
    if (!m_file.fileName().isEmpty()) {
        m_file.close();
        QFile::remove(m_file.fileName());
        m_file.setFileName(QString());
    }
    m_failed = false;
}

bool AtomicOutputFile::fail(const QString &error)
{
    // The reason is kept: removing the hidden file must not overwrite it.
    cancel();
    m_error = error;
    m_failed = true;
    return false;
}
