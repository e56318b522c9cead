#include "templatestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "settingsfile.h"

TemplateStore::TemplateStore(const QString &baseDirectory) : m_base(baseDirectory) {}

QString TemplateStore::extension(TemplateKind kind)
{
    switch (kind) {
    case TemplateKind::LoRa:
        return QStringLiteral(".LoRa");
    case TemplateKind::Binary:
        return QStringLiteral(".binary");
    case TemplateKind::IntelHex:
        return QStringLiteral(".IntelHEX");
    }
    return {};
}

QString TemplateStore::nameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("Поле не может быть пустым");
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("Имя шаблона не может содержать символы \"/\" и \"\\\"");
    return {};
}

QString TemplateStore::nameOf(const QString &fileName, TemplateKind kind)
{
    // Only the ending is the extension: "fw.LoRa.v2.LoRa" is the template "fw.LoRa.v2".
    const QString ending = extension(kind);
    return fileName.endsWith(ending, Qt::CaseSensitive) ? fileName.chopped(ending.size()) : fileName;
}

QString TemplateStore::folder() const
{
    return m_base + QStringLiteral("/Templates Setting/");
}

QStringList TemplateStore::list(TemplateKind kind) const
{
    QDir dir(folder());
    dir.setNameFilters({QLatin1Char('*') + extension(kind)});
    dir.setFilter(QDir::Files | QDir::Hidden | QDir::CaseSensitive);
    dir.setSorting(QDir::Name);
    return dir.entryList();
}

QString TemplateStore::pathOf(const QString &fileName) const
{
    return folder() + fileName;
}

void TemplateStore::removeStaleTemporaries() const
{
    SettingsFile::removeStaleTemporaries(
        folder(),
        {extension(TemplateKind::LoRa), extension(TemplateKind::Binary), extension(TemplateKind::IntelHex)});
}

bool TemplateStore::save(const QString &name, TemplateKind kind,
                         const std::function<void(QSettings &)> &write) const
{
    if (!nameProblem(name).isEmpty())
        return false;
    if (!QDir().mkpath(folder()))
        return false;
    return SettingsFile::update(pathOf(name + extension(kind)), write);
}

bool TemplateStore::exists(const QString &name, TemplateKind kind) const
{
    return QFileInfo::exists(pathOf(name + extension(kind)));
}

bool TemplateStore::remove(const QString &fileName) const
{
    return QFile::remove(pathOf(fileName));
}

bool TemplateStore::rename(const QString &fileName, const QString &newName, TemplateKind kind) const
{
    if (!nameProblem(newName).isEmpty() || exists(newName, kind))
        return false;
    // QFile::rename refuses to replace an existing file as well.
    return QFile::rename(pathOf(fileName), pathOf(newName + extension(kind)));
}
