#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>

#include "platform.h"

namespace {

// Far beyond any settings file the program writes; a bigger one is not read into memory.
constexpr qint64 MaxSettingsBytes = 16 * 1024 * 1024;

// Why the file cannot be read as settings (not a regular file, too big), or empty when it can or
// does not exist. Anything but a regular file is never opened: a FIFO would block the read for
// good, a device such as /dev/zero would never end.
QString unreadableReason(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (!info.isFile())
        return QStringLiteral("это не обычный файл");
    if (info.size() > MaxSettingsBytes)
        return QStringLiteral("файл больше %1 МБ").arg(MaxSettingsBytes / (1024 * 1024));
    return {};
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    if (!unreadableReason(path).isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(MaxSettingsBytes + 1);
}

// Every temporary made for a file is named "<file>.quillon-" and six letters or digits, beside it:
// recognisably this program's when a killed process left it behind.
QString temporaryNameFor(const QString &target)
{
    return QFileInfo(target).absoluteFilePath() + QStringLiteral(".quillon-");
}

// A new, empty file of such a name, open for writing; none (and nothing made) when it cannot be.
std::unique_ptr<QFile> createTemporaryFor(const QString &target)
{
    static const QByteArray letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 16; ++attempt) {
        QString name = temporaryNameFor(target);
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(letters.at(QRandomGenerator::global()->bounded(int(letters.size()))));
        auto file = std::make_unique<QFile>(name);
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file;
        if (QFileInfo::exists(name) || QFileInfo(name).isSymLink())
            continue;
        return nullptr;
    }
    return nullptr;
}

// The one file in a private scratch folder (removed with it) that QSettings reads and rewrites in
// place of the real one. A plain file, closed before QSettings opens it: a QTemporaryFile keeps its
// handle after close() on Windows, where QSettings' replace-by-rename onto it then fails.
QString scratchPath(const QTemporaryDir &scratch)
{
    return scratch.filePath(QStringLiteral("settings.ini"));
}

// The scratch folder sits beside the file it stands for, named after it: made where the file
// itself is written, it needs no room elsewhere (a full TMPDIR), and one left by a killed
// process is recognised and removed (SettingsFile::removeStaleTemporaries).
std::unique_ptr<QTemporaryDir> scratchCopy(const QString &target, const QByteArray &content)
{
    auto scratch = std::make_unique<QTemporaryDir>(temporaryNameFor(target) + QStringLiteral("XXXXXX"));
    if (!scratch->isValid())
        return nullptr;
    QFile file(scratchPath(*scratch));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush())
        return nullptr;
    return scratch;
}

// INI text holds no control characters but line ends and tabs; a binary blob holds them at once.
bool isText(const QByteArray &content)
{
    return std::none_of(content.cbegin(), content.cend(), [](char c) {
        const auto byte = static_cast<quint8>(c);
        return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F;
    });
}

bool writableTarget(const QString &path)
{
    const QFileInfo target(path);
    return !target.exists() || (target.isFile() && target.isWritable());
}

} // namespace

SettingsFile::Reader::Reader(const QString &path) : m_problem(unreadableReason(path))
{
    const QByteArray content = readWholeFile(path);
    m_copy = scratchCopy(path, content);
    // Without room for a private copy, reading the file itself is the best that remains; a file
    // that is not to be opened reads as empty.
    QString source = m_copy ? scratchPath(*m_copy) : path;
    if (!m_copy && !m_problem.isEmpty())
        source = QStringLiteral(":/no-settings");
    m_store = std::make_unique<QSettings>(source, QSettings::IniFormat);
    m_wellFormed = m_problem.isEmpty() && m_store->status() == QSettings::NoError && isText(content);
}

SettingsFile::Reader::~Reader() = default;

namespace {

// The new text of the file: the keys of the old one as QSettings reads them (when `carryOver`),
// then `write` on top. Nothing is returned unless the text reads back with every key as written.
std::optional<QByteArray> composeContent(const QString &path, const std::function<void(QSettings &)> &write,
                                         bool carryOver)
{
    auto scratch = scratchCopy(path, {});
    if (!scratch)
        return std::nullopt;
    QHash<QString, QString> written;
    {
        QSettings store(scratchPath(*scratch), QSettings::IniFormat);
        if (carryOver) {
            SettingsFile::Reader old(path);
            if (old.wellFormed()) {
                const QStringList keys = old.store().allKeys();
                for (const QString &key : keys)
                    store.setValue(key, old.store().value(key));
            }
        }
        write(store);
        store.sync();
        if (store.status() != QSettings::NoError)
            return std::nullopt;
        const QStringList keys = store.allKeys();
        for (const QString &key : keys)
            written.insert(key, store.value(key).toString());
    }
    const QByteArray content = readWholeFile(scratchPath(*scratch));

    auto check = scratchCopy(path, content);
    if (!check)
        return std::nullopt;
    QSettings reread(scratchPath(*check), QSettings::IniFormat);
    if (reread.status() != QSettings::NoError || reread.allKeys().size() != written.size())
        return std::nullopt;
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        if (reread.value(it.key()).toString() != it.value())
            return std::nullopt;
    return content;
}

} // namespace

bool SettingsFile::update(const QString &path, const std::function<void(QSettings &)> &write)
{
    if (!writableTarget(path))
        return false;
    // Keys of a damaged file that do not survive a rewrite are dropped rather than block the save.
    std::optional<QByteArray> content = composeContent(path, write, true);
    if (!content)
        content = composeContent(path, write, false);
    return content && replace(path, *content);
}

bool SettingsFile::replace(const QString &path, const QByteArray &content)
{
    if (!writableTarget(path))
        return false;
    const std::unique_ptr<QFile> file = createTemporaryFor(path);
    if (!file)
        return false;
    // The file keeps who may read and write it.
    if (QFileInfo::exists(path))
        file->setPermissions(QFile::permissions(path));
    // On the disk before it replaces the old file, and the folder's new entry after.
    const bool written = file->write(content) == content.size() && Platform::flushToDisk(*file);
    file->close();
    if (!written || file->error() != QFileDevice::NoError || !Platform::replaceFile(file->fileName(), path)) {
        file->remove();
        return false;
    }
    Platform::flushFolderToDisk(QFileInfo(path).absolutePath());
    return readWholeFile(path) == content;
}

bool SettingsFile::isStaleTemporary(const QString &folder, const QString &entry,
                                    const QStringList &targetSuffixes)
{
    static const QRegularExpression temporary(QStringLiteral("^(.+)\\.quillon-[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch match = temporary.match(entry);
    if (!match.hasMatch())
        return false;
    const QString target = match.captured(1);
    if (!std::any_of(targetSuffixes.cbegin(), targetSuffixes.cend(),
                     [&target](const QString &suffix) { return target.endsWith(suffix); }))
        return false;
    const QFileInfo info(QDir(folder).filePath(entry));
    if (info.isSymLink())
        return false;
    if (info.isFile())
        return true;
    // A scratch folder holds QSettings' file, and at most its temporary and lock files.
    static const QRegularExpression scratchEntry(
        QStringLiteral("^settings\\.ini(\\.lock|\\.[A-Za-z0-9]{6})?$"));
    const QStringList inside =
        QDir(info.filePath())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    return info.isDir() && std::all_of(inside.cbegin(), inside.cend(), [](const QString &name) {
               return scratchEntry.match(name).hasMatch();
           });
}

void SettingsFile::removeStaleTemporaries(const QString &folder, const QStringList &targetSuffixes)
{
    const QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (!isStaleTemporary(folder, entry, targetSuffixes))
            continue;
        const QString path = QDir(folder).filePath(entry);
        if (QFileInfo(path).isDir())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}
