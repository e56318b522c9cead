#include "atomicoutputfile.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtGlobal>

#include "systemerror.h"

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
        *error = SystemError::text(reason);
        return false;
    }
    // No target yet, or a file system that cannot swap: a plain rename does.
#endif
    std::error_code failure;
    std::filesystem::rename(nativePath(from), nativePath(to), failure);
    if (failure) {
        *error = failure.category() == std::generic_category() ? SystemError::text(failure.value())
                                                               : QString::fromStdString(failure.message());
        return false;
    }
    return true;
}

} // namespace

// Hands writes on to the hidden file and keeps the operating system's reason for the first that
// fails: Qt records none for a write cut short, and the code is gone by the time commit() is called.
class AtomicOutputFile::WriteThrough : public QIODevice {
public:
    explicit WriteThrough(QFile &file) : m_file(file) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    QString failure() const { return m_failure; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        SystemError::clear();
        const qint64 written = m_file.write(data, length);
        if (written != length && m_failure.isEmpty()) {
            m_failure = SystemError::of(m_file);
            setErrorString(m_failure);
        }
        return written;
    }

private:
    QFile &m_file;
    QString m_failure;
};

AtomicOutputFile::AtomicOutputFile(const QString &targetPath) : m_targetPath(targetPath) {}

QIODevice &AtomicOutputFile::device()
{
    if (!m_device)
        m_device = std::make_unique<WriteThrough>(m_file);
    return *m_device;
}

AtomicOutputFile::~AtomicOutputFile()
{
    cancel();
}

bool AtomicOutputFile::open()
{
    cancel();
    m_error.clear();
    m_device.reset();
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
    QString error;
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        m_file.setFileName(hiddenNameFor(target));
        SystemError::clear();
        // NewOnly never takes over a file someone else made; the umask sets the permissions.
        // Readable too, for readAt().
        if (m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly)) {
            // The User bits tell what this process may do, not what the file's owner may.
            const QFileDevice::Permissions kept =
                existing.permissions() &
                ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
            SystemError::clear();
            if (existing.exists() && !m_file.setPermissions(kept))
                return fail(SystemError::of(m_file));
            return true;
        }
        error = SystemError::of(m_file);
        if (!m_file.exists())
            break;
    }
    m_file.setFileName(QString());
    return fail(error);
}

bool AtomicOutputFile::write(const char *data, qint64 size)
{
    if (m_failed || !m_file.isOpen())
        return false;
    SystemError::clear();
    if (m_file.write(data, size) != size)
        return fail(SystemError::of(m_file));
    return true;
}

bool AtomicOutputFile::writeAt(qint64 position, const char *data, qint64 size)
{
    if (m_failed || !m_file.isOpen())
        return false;
    SystemError::clear();
    if (m_file.pos() != position && !m_file.seek(position))
        return fail(SystemError::of(m_file));
    return write(data, size);
}

bool AtomicOutputFile::readAt(qint64 position, char *data, qint64 size)
{
    if (m_failed || !m_file.isOpen())
        return false;
    SystemError::clear();
    if (!m_file.seek(position))
        return fail(SystemError::of(m_file));
    if (m_file.read(data, size) != size)
        return fail(SystemError::of(m_file));
    return true;
}

bool AtomicOutputFile::commit()
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (m_device && !m_device->failure().isEmpty())
        return fail(m_device->failure());
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    // A full disk often shows only here, when the last buffered bytes go out, or on close.
    SystemError::clear();
    if (!m_file.flush())
        return fail(SystemError::of(m_file));
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(SystemError::of(m_file));
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
