#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>

#include "savefile.h"

namespace {

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The one file in a private scratch folder (removed with it) that QSettings reads and rewrites in
// place of the real one. A plain file, closed before QSettings opens it: a QTemporaryFile keeps its
// handle after close() on Windows, where QSettings' replace-by-rename onto it then fails.
QString scratchPath(const QTemporaryDir &scratch)
{
    return scratch.filePath(QStringLiteral("settings.ini"));
}

std::unique_ptr<QTemporaryDir> scratchCopy(const QByteArray &content)
{
    auto scratch =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillon-settings-XXXXXX"));
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

SettingsFile::Reader::Reader(const QString &path)
{
    const QByteArray content = readWholeFile(path);
    m_copy = scratchCopy(content);
    // Without room for a private copy, reading the file itself is the best that remains.
    const QString source = m_copy ? scratchPath(*m_copy) : path;
    m_store = std::make_unique<QSettings>(source, QSettings::IniFormat);
    m_wellFormed = m_store->status() == QSettings::NoError && isText(content);
}

SettingsFile::Reader::~Reader() = default;

namespace {

// The new text of the file: the keys of the old one as QSettings reads them (when `carryOver`),
// then `write` on top. Nothing is returned unless the text reads back with every key as written.
std::optional<QByteArray> composeContent(const QString &path, const std::function<void(QSettings &)> &write,
                                         bool carryOver)
{
    auto scratch = scratchCopy({});
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

    auto check = scratchCopy(content);
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    if (!commitSaveFile(file))
        return false;
    return readWholeFile(path) == content;
}
