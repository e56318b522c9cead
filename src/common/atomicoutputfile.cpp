#include "atomicoutputfile.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSysInfo>

#include "crc32.h"
#include "platform.h"
#include "systemerror.h"

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

// Names this machine in hidden names, so that a hidden file another computer writes into a shared
// folder is never judged by the process ids of this one.
QString machineTag()
{
    static const QString tag = [] {
        QByteArray id = QSysInfo::machineUniqueId();
        if (id.isEmpty())
            id = QSysInfo::machineHostName().toUtf8();
        return QString::number(Crc32::of(id), 16).rightJustified(8, QLatin1Char('0'));
    }();
    return tag;
}

// A hidden file is named ".<target name>.quillon-<machine>-<process id>-<random>.part", so that
// one a killed process left behind is known as such. A target name may use the file system's whole
// length; the hidden name keeps only its start, whole characters, so that the rest still fits.
QString hiddenNamePrefix(const QString &targetPath)
{
    constexpr int KeptNameLength = 64;
    const QString name = QFileInfo(targetPath).fileName();
    const int kept = name.size() > KeptNameLength && name.at(KeptNameLength - 1).isHighSurrogate()
                         ? KeptNameLength - 1
                         : KeptNameLength;
    return QStringLiteral(".%1.quillon-%2-").arg(name.left(kept), machineTag());
}

QString hiddenNameFor(const QString &targetPath)
{
    const QString unique = QString::number(QRandomGenerator::global()->generate64(), 36);
    return QFileInfo(targetPath)
        .dir()
        .filePath(QStringLiteral("%1%2-%3.part")
                      .arg(hiddenNamePrefix(targetPath), QString::number(QCoreApplication::applicationPid()),
                           unique));
}

// The process id in a hidden name of this target ("<prefix><process id>-<random>.part"), if the name
// is exactly of that pattern.
std::optional<qint64> writerOf(const QString &name, const QString &prefix)
{
    const QLatin1String suffix(".part");
    if (!name.startsWith(prefix) || !name.endsWith(suffix))
        return std::nullopt;
    const QStringView rest =
        QStringView(name).sliced(prefix.size(), name.size() - prefix.size() - suffix.size());
    const qsizetype dash = rest.indexOf(QLatin1Char('-'));
    const auto isDigit = [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    };
    const auto isRandom = [&](QChar c) {
        return isDigit(c) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
    };
    const QStringView writer = rest.left(dash);
    const QStringView random = rest.sliced(dash + 1);
    if (dash <= 0 || random.isEmpty() || !std::all_of(writer.begin(), writer.end(), isDigit) ||
        !std::all_of(random.begin(), random.end(), isRandom))
        return std::nullopt;
    bool ok = false;
    const qint64 processId = writer.toLongLong(&ok);
    return ok ? std::optional<qint64>(processId) : std::nullopt;
}

// Removes the hidden files of this target that processes of this machine which no longer run left
// behind. Only plain files of exactly that name pattern go; anything else is not ours to remove.
void removeLeftoversOf(const QString &targetPath)
{
    const QString prefix = hiddenNamePrefix(targetPath);
    QDirIterator it(QFileInfo(targetPath).absolutePath(), QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const std::optional<qint64> writer = writerOf(it.fileName(), prefix);
        if (!writer)
            continue;
        const QFileInfo info = it.fileInfo();
        if (Platform::processRuns(*writer) || info.isSymLink() || !info.isFile())
            continue;
        QFile::remove(info.filePath());
    }
}

// Puts the hidden file in the target's place.
bool replaceTarget(const QString &from, const QString &to, QString *error)
{
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
    removeLeftoversOf(target);
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
    // A full disk often shows only here, when the last buffered bytes go out, or on close. The data
    // is on the disk before it takes the target's place: a power cut must not leave an empty file
    // where the old one stood.
    SystemError::clear();
    if (!m_file.flush() || !Platform::flushToDisk(m_file))
        return fail(SystemError::of(m_file));
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return fail(SystemError::of(m_file));
    const QString target = resolvedTarget(m_targetPath);
    QString error;
    if (!replaceTarget(m_file.fileName(), target, &error))
        return fail(error);
    m_file.setFileName(QString());
    // The new name too. The file is in place by now; a folder that cannot be flushed changes nothing.
    Platform::flushFolderToDisk(QFileInfo(target).absolutePath());
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
