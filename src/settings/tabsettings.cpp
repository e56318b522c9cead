#include "settings/tabsettings.h"

#include <QSettings>

#include "settings/settingskeys.h"

namespace {

QString readText(QSettings &store, const QString &key)
{
    return store.value(key, QString()).toString();
}

bool readFlag(QSettings &store, const QString &key)
{
    return store.value(key, false).toBool();
}

} // namespace

LoRaSettings LoRaSettings::defaults()
{
    LoRaSettings settings;
    settings.pathToBoot = SettingsKeys::enterPath();
    settings.pathToLoRa = SettingsKeys::enterPath();
    settings.pathToApp = SettingsKeys::enterPath();
    settings.pathToRelease = SettingsKeys::enterReleasePath();
    settings.offsetWrtBoot = SettingsKeys::zeroOffset();
    settings.offsetWrtFmwLora = SettingsKeys::zeroOffset();
    settings.offsetWrtFmw = SettingsKeys::zeroOffset();
    settings.offsetSrchNameLora = SettingsKeys::zeroOffset();
    settings.offsetSrchNameFmw = SettingsKeys::zeroOffset();
    settings.templateName = SettingsKeys::loraTemplateName();
    return settings;
}

LoRaSettings LoRaSettings::load(QSettings &store)
{
    using namespace SettingsKeys;
    LoRaSettings settings;
    store.beginGroup(pathToGroup());
    settings.pathToBoot = readText(store, loraPathToBoot());
    settings.pathToLoRa = readText(store, loraPathToLoRa());
    settings.pathToApp = readText(store, loraPathToApp());
    settings.pathToRelease = readText(store, loraPathToRelease());
    store.endGroup();
    store.beginGroup(offsetsGroup());
    settings.offsetWrtBoot = readText(store, loraOffsetWrtBoot());
    settings.offsetWrtFmwLora = readText(store, loraOffsetWrtFmwLora());
    settings.offsetWrtFmw = readText(store, loraOffsetWrtFmw());
    settings.offsetSrchNameLora = readText(store, loraOffsetSrchNameLora());
    settings.offsetSrchNameFmw = readText(store, loraOffsetSrchNameFmw());
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    settings.templateName = readText(store, loraTmpltNameOutFile());
    store.endGroup();
    return settings;
}

void LoRaSettings::save(QSettings &store) const
{
    using namespace SettingsKeys;
    store.beginGroup(pathToGroup());
    store.setValue(loraPathToBoot(), pathToBoot);
    store.setValue(loraPathToLoRa(), pathToLoRa);
    store.setValue(loraPathToApp(), pathToApp);
    store.setValue(loraPathToRelease(), pathToRelease);
    store.endGroup();
    store.beginGroup(offsetsGroup());
    store.setValue(loraOffsetWrtBoot(), offsetWrtBoot);
    store.setValue(loraOffsetWrtFmwLora(), offsetWrtFmwLora);
    store.setValue(loraOffsetWrtFmw(), offsetWrtFmw);
    store.setValue(loraOffsetSrchNameLora(), offsetSrchNameLora);
    store.setValue(loraOffsetSrchNameFmw(), offsetSrchNameFmw);
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    store.setValue(loraTmpltNameOutFile(), templateName);
    store.endGroup();
}

bool LoRaSettings::operator==(const LoRaSettings &other) const
{
    return pathToBoot == other.pathToBoot && pathToLoRa == other.pathToLoRa && pathToApp == other.pathToApp &&
           pathToRelease == other.pathToRelease && offsetWrtBoot == other.offsetWrtBoot &&
           offsetWrtFmwLora == other.offsetWrtFmwLora && offsetWrtFmw == other.offsetWrtFmw &&
           offsetSrchNameLora == other.offsetSrchNameLora && offsetSrchNameFmw == other.offsetSrchNameFmw &&
           templateName == other.templateName;
}

BinarySettings BinarySettings::defaults()
{
    BinarySettings settings;
    settings.pathFile.fill(SettingsKeys::enterPath());
    settings.pathRelease = SettingsKeys::enterPath();
    settings.offsetFile.fill(SettingsKeys::zeroOffset());
    settings.templateName = SettingsKeys::enterTemplateName();
    settings.enabled.fill(false);
    return settings;
}

BinarySettings BinarySettings::load(QSettings &store)
{
    using namespace SettingsKeys;
    BinarySettings settings;
    store.beginGroup(pathToGroup());
    for (int slot = 0; slot < 6; ++slot)
        settings.pathFile[slot] = readText(store, binaryPathFile(slot));
    settings.pathRelease = readText(store, binaryPathRelease());
    store.endGroup();
    store.beginGroup(offsetsGroup());
    for (int slot = 0; slot < 6; ++slot)
        settings.offsetFile[slot] = readText(store, binaryOffsetFile(slot));
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    settings.templateName = readText(store, binaryTmpltNameOutFile());
    store.endGroup();
    store.beginGroup(stateWindowGroup());
    for (int slot = 0; slot < 6; ++slot)
        settings.enabled[slot] = readFlag(store, binaryEnabled(slot));
    store.endGroup();
    return settings;
}

void BinarySettings::save(QSettings &store) const
{
    using namespace SettingsKeys;
    store.beginGroup(pathToGroup());
    for (int slot = 0; slot < 6; ++slot)
        store.setValue(binaryPathFile(slot), pathFile[slot]);
    store.setValue(binaryPathRelease(), pathRelease);
    store.endGroup();
    store.beginGroup(offsetsGroup());
    for (int slot = 0; slot < 6; ++slot)
        store.setValue(binaryOffsetFile(slot), offsetFile[slot]);
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    store.setValue(binaryTmpltNameOutFile(), templateName);
    store.endGroup();
    store.beginGroup(stateWindowGroup());
    for (int slot = 0; slot < 6; ++slot)
        store.setValue(binaryEnabled(slot), enabled[slot]);
    store.endGroup();
}

bool BinarySettings::operator==(const BinarySettings &other) const
{
    return pathFile == other.pathFile && pathRelease == other.pathRelease && offsetFile == other.offsetFile &&
           templateName == other.templateName && enabled == other.enabled;
}

std::array<QString, 6> IntelHexSettings::sourcesInOrder() const
{
    return {pathBoot, pathApp, pathMain, pathAddictFile[0], pathAddictFile[1], pathAddictFile[2]};
}

IntelHexSettings IntelHexSettings::defaults()
{
    IntelHexSettings settings;
    settings.pathBoot = SettingsKeys::enterPath();
    settings.pathApp = SettingsKeys::enterPath();
    settings.pathMain = SettingsKeys::enterPath();
    settings.pathAddictFile.fill(SettingsKeys::enterPath());
    settings.pathRelease = SettingsKeys::enterPath();
    settings.templateName = SettingsKeys::enterTemplateName();
    settings.enabled.fill(false);
    return settings;
}

IntelHexSettings IntelHexSettings::load(QSettings &store)
{
    using namespace SettingsKeys;
    IntelHexSettings settings;
    store.beginGroup(pathToGroup());
    settings.pathBoot = readText(store, intelHexPathBoot());
    settings.pathApp = readText(store, intelHexPathApp());
    settings.pathMain = readText(store, intelHexPathMain());
    for (int slot = 0; slot < 3; ++slot)
        settings.pathAddictFile[slot] = readText(store, intelHexPathAddictFile(slot));
    settings.pathRelease = readText(store, intelHexPathRelease());
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    settings.templateName = readText(store, intelHexTmpltNameOutFile());
    store.endGroup();
    store.beginGroup(stateWindowGroup());
    for (int slot = 0; slot < 6; ++slot)
        settings.enabled[slot] = readFlag(store, intelHexEnabled(slot));
    store.endGroup();
    return settings;
}

void IntelHexSettings::save(QSettings &store) const
{
    using namespace SettingsKeys;
    store.beginGroup(pathToGroup());
    store.setValue(intelHexPathBoot(), pathBoot);
    store.setValue(intelHexPathApp(), pathApp);
    store.setValue(intelHexPathMain(), pathMain);
    for (int slot = 0; slot < 3; ++slot)
        store.setValue(intelHexPathAddictFile(slot), pathAddictFile[slot]);
    store.setValue(intelHexPathRelease(), pathRelease);
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    store.setValue(intelHexTmpltNameOutFile(), templateName);
    store.endGroup();
    store.beginGroup(stateWindowGroup());
    for (int slot = 0; slot < 6; ++slot)
        store.setValue(intelHexEnabled(slot), enabled[slot]);
    store.endGroup();
}

bool IntelHexSettings::operator==(const IntelHexSettings &other) const
{
    return pathBoot == other.pathBoot && pathApp == other.pathApp && pathMain == other.pathMain &&
           pathAddictFile == other.pathAddictFile && pathRelease == other.pathRelease &&
           templateName == other.templateName && enabled == other.enabled;
}
