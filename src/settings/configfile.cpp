#include "configfile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QSettings>

#include "settingsfile.h"
#include "settingskeys.h"

namespace {

using Entry = QPair<QString, QString>;

struct Group {
    QString name;
    QList<Entry> entries;
};

QList<Group> defaultGroups()
{
    using namespace SettingsKeys;
    Group pathTo{pathToGroup(), {}};
    pathTo.entries << Entry{loraPathToBoot(), enterPath()} << Entry{loraPathToLoRa(), enterPath()}
                   << Entry{loraPathToApp(), enterPath()} << Entry{loraPathToRelease(), enterReleasePath()};
    for (int slot = 0; slot < 6; ++slot)
        pathTo.entries << Entry{binaryPathFile(slot), enterPath()};
    pathTo.entries << Entry{binaryPathRelease(), enterPath()} << Entry{intelHexPathBoot(), enterPath()}
                   << Entry{intelHexPathApp(), enterPath()} << Entry{intelHexPathMain(), enterPath()};
    for (int slot = 0; slot < 3; ++slot)
        pathTo.entries << Entry{intelHexPathAddictFile(slot), enterPath()};
    pathTo.entries << Entry{intelHexPathRelease(), enterPath()};

    Group offsets{offsetsGroup(), {}};
    offsets.entries << Entry{loraOffsetWrtBoot(), zeroOffset()} << Entry{loraOffsetWrtFmwLora(), zeroOffset()}
                    << Entry{loraOffsetWrtFmw(), zeroOffset()}
                    << Entry{loraOffsetSrchNameLora(), zeroOffset()}
                    << Entry{loraOffsetSrchNameFmw(), zeroOffset()};
    for (int slot = 0; slot < 6; ++slot)
        offsets.entries << Entry{binaryOffsetFile(slot), zeroOffset()};

    const Group stm{stmSettingGroup(), {Entry{flashAdress(), zeroOffset()}, Entry{loraHwId(), zeroOffset()}}};
    const Group names{templatesNameGroup(),
                      {Entry{loraTmpltNameOutFile(), loraTemplateName()},
                       Entry{binaryTmpltNameOutFile(), enterTemplateName()},
                       Entry{intelHexTmpltNameOutFile(), enterTemplateName()}}};
    const Group state{stateWindowGroup(), {Entry{tab(), defaultTab()}}};
    return {pathTo, offsets, stm, names, state};
}

} // namespace

QByteArray ConfigFile::defaultContent()
{
#ifdef Q_OS_WIN
    const QByteArray eol = "\r\n";
#else
    const QByteArray eol = "\n";
#endif
    // Every default is plain printable ASCII without leading or trailing blanks and without any of
    // the characters INI escapes (quote, backslash, semicolon, comma, equals), so it is written as is.
    QByteArray content;
    bool first = true;
    for (const Group &group : defaultGroups()) {
        if (!first)
            content += eol;
        first = false;
        content += '[' + group.name.toLatin1() + ']' + eol;
        for (const Entry &entry : group.entries)
            content += entry.first.toLatin1() + '=' + entry.second.toLatin1() + eol;
    }
    return content;
}

bool ConfigFile::ensureExists(const QString &path)
{
    if (QFileInfo::exists(path))
        return true;
    return SettingsFile::replace(path, defaultContent());
}

void ConfigFile::removeStaleTemporaries(const QString &path)
{
    const QFileInfo file(path);
    SettingsFile::removeStaleTemporaries(file.absolutePath(), {file.fileName()});
}

bool ConfigFile::remove(const QString &path)
{
    return QFile::remove(path);
}

int ConfigFile::loadTab(QSettings &store)
{
    return store.value(SettingsKeys::stateWindowGroup() + QLatin1Char('/') + SettingsKeys::tab(), 0).toInt();
}

void ConfigFile::saveTab(QSettings &store, int tab)
{
    store.setValue(SettingsKeys::stateWindowGroup() + QLatin1Char('/') + SettingsKeys::tab(), tab);
}
