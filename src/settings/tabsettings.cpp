#include "tabsettings.h"

#include <QSettings>

#include "settingskeys.h"

namespace {

QString readText(QSettings &store, const QString &key)
{
    return store.value(key, QString()).toString();
}

bool readFlag(QSettings &store, const QString &key)
{
    return store.value(key, false).toBool();
}

QString readFlashKey(QSettings &store, const QString &key)
{
    return store.value(SettingsKeys::flashGroup() + QLatin1Char('/') + key, QString()).toString();
}

// A key that says "no limit" is not written at all, and one that said otherwise before goes.
void writeFlashKey(QSettings &store, const QString &key, const QString &value)
{
    const QString path = SettingsKeys::flashGroup() + QLatin1Char('/') + key;
    if (value.isEmpty())
        store.remove(path);
    else
        store.setValue(path, value);
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

QString LoRaSettings::extensionFilter(bool hex)
{
    return hex ? QStringLiteral("*.hex") : QStringLiteral("*.bin");
}

LoRaSettings LoRaSettings::load(QSettings &store)
{
    LoRaSettings settings;
    settings.readStored(store);
    return settings;
}

void LoRaSettings::readStored(QSettings &store)
{
    using namespace SettingsKeys;
    store.beginGroup(pathToGroup());
    pathToBoot = readText(store, loraPathToBoot());
    pathToLoRa = readText(store, loraPathToLoRa());
    pathToApp = readText(store, loraPathToApp());
    pathToRelease = readText(store, loraPathToRelease());
    store.endGroup();
    store.beginGroup(offsetsGroup());
    offsetWrtBoot = readText(store, loraOffsetWrtBoot());
    offsetWrtFmwLora = readText(store, loraOffsetWrtFmwLora());
    offsetWrtFmw = readText(store, loraOffsetWrtFmw());
    offsetSrchNameLora = readText(store, loraOffsetSrchNameLora());
    offsetSrchNameFmw = readText(store, loraOffsetSrchNameFmw());
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    templateName = readText(store, loraTmpltNameOutFile());
    store.endGroup();
    flashSize = readFlashKey(store, loraFlashSize());
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
    writeFlashKey(store, loraFlashSize(), flashSize);
}

bool LoRaSettings::operator==(const LoRaSettings &other) const
{
    return pathToBoot == other.pathToBoot && pathToLoRa == other.pathToLoRa && pathToApp == other.pathToApp &&
           pathToRelease == other.pathToRelease && offsetWrtBoot == other.offsetWrtBoot &&
           offsetWrtFmwLora == other.offsetWrtFmwLora && offsetWrtFmw == other.offsetWrtFmw &&
           offsetSrchNameLora == other.offsetSrchNameLora && offsetSrchNameFmw == other.offsetSrchNameFmw &&
           templateName == other.templateName && flashSize == other.flashSize &&
           bootFilter == other.bootFilter && loraMacFilter == other.loraMacFilter &&
           appFilter == other.appFilter;
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
    BinarySettings settings;
    settings.readStored(store);
    return settings;
}

void BinarySettings::readStored(QSettings &store)
{
    using namespace SettingsKeys;
    store.beginGroup(pathToGroup());
    for (int slot = 0; slot < 6; ++slot)
        pathFile[slot] = readText(store, binaryPathFile(slot));
    pathRelease = readText(store, binaryPathRelease());
    store.endGroup();
    store.beginGroup(offsetsGroup());
    for (int slot = 0; slot < 6; ++slot)
        offsetFile[slot] = readText(store, binaryOffsetFile(slot));
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    templateName = readText(store, binaryTmpltNameOutFile());
    store.endGroup();
    store.beginGroup(stateWindowGroup());
    for (int slot = 0; slot < 6; ++slot)
        enabled[slot] = readFlag(store, binaryEnabled(slot));
    store.endGroup();
    flashSize = readFlashKey(store, binaryFlashSize());
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
    writeFlashKey(store, binaryFlashSize(), flashSize);
}

bool BinarySettings::operator==(const BinarySettings &other) const
{
    return pathFile == other.pathFile && pathRelease == other.pathRelease && offsetFile == other.offsetFile &&
           templateName == other.templateName && enabled == other.enabled && flashSize == other.flashSize &&
           sequential == other.sequential && hexOutput == other.hexOutput;
}

std::array<QString, 6> IntelHexSettings::sourcesInOrder() const
{
    return {pathBoot, pathApp, pathMain, pathAddictFile[0], pathAddictFile[1], pathAddictFile[2]};
}

void IntelHexSettings::setSourceInOrder(int slot, const QString &path)
{
    QString *const sources[] = {&pathBoot,          &pathApp,           &pathMain,
                                &pathAddictFile[0], &pathAddictFile[1], &pathAddictFile[2]};
    *sources[slot] = path;
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
    IntelHexSettings settings;
    settings.readStored(store);
    return settings;
}

void IntelHexSettings::readStored(QSettings &store)
{
    using namespace SettingsKeys;
    store.beginGroup(pathToGroup());
    pathBoot = readText(store, intelHexPathBoot());
    pathApp = readText(store, intelHexPathApp());
    pathMain = readText(store, intelHexPathMain());
    for (int slot = 0; slot < 3; ++slot)
        pathAddictFile[slot] = readText(store, intelHexPathAddictFile(slot));
    pathRelease = readText(store, intelHexPathRelease());
    store.endGroup();
    store.beginGroup(templatesNameGroup());
    templateName = readText(store, intelHexTmpltNameOutFile());
    store.endGroup();
    store.beginGroup(stateWindowGroup());
    for (int slot = 0; slot < 6; ++slot)
        enabled[slot] = readFlag(store, intelHexEnabled(slot));
    store.endGroup();
    flashSize = readFlashKey(store, intelHexFlashSize());
    flashBase = readFlashKey(store, intelHexFlashBase());
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
    // The base means something only with a size; it is kept, and dropped, together with it.
    writeFlashKey(store, intelHexFlashSize(), flashSize);
    writeFlashKey(store, intelHexFlashBase(), flashSize.isEmpty() ? QString() : flashBase);
}

bool IntelHexSettings::operator==(const IntelHexSettings &other) const
{
    return pathBoot == other.pathBoot && pathApp == other.pathApp && pathMain == other.pathMain &&
           pathAddictFile == other.pathAddictFile && pathRelease == other.pathRelease &&
           templateName == other.templateName && enabled == other.enabled && flashSize == other.flashSize &&
           flashBase == other.flashBase;
}
