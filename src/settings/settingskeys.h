#pragma once

#include <QString>

// The groups, keys and default texts of config.conf and the template files. Slots count from 0;
// the keys themselves count from 1.
namespace SettingsKeys {

inline QString pathToGroup()
{
    return QStringLiteral("PathTo");
}
inline QString offsetsGroup()
{
    return QStringLiteral("Offsets");
}
inline QString stmSettingGroup()
{
    return QStringLiteral("STMSetting");
}
inline QString templatesNameGroup()
{
    return QStringLiteral("Templates_Name");
}
inline QString stateWindowGroup()
{
    return QStringLiteral("StateWindow");
}
// Written only once the user has chosen a flash size: files without it load as "no limit".
inline QString flashGroup()
{
    return QStringLiteral("Flash");
}

inline QString loraPathToBoot()
{
    return QStringLiteral("LoRaPathToBoot");
}
inline QString loraPathToLoRa()
{
    return QStringLiteral("LoRaPathToLoRa");
}
inline QString loraPathToApp()
{
    return QStringLiteral("LoRaPathToApp");
}
inline QString loraPathToRelease()
{
    return QStringLiteral("LoRaPathToRelease");
}
inline QString binaryPathFile(int slot)
{
    return QStringLiteral("BinaryPathFile_%1").arg(slot + 1);
}
inline QString binaryPathRelease()
{
    return QStringLiteral("BinaryPathRelease");
}
inline QString intelHexPathBoot()
{
    return QStringLiteral("IntelHEXPathBoot");
}
inline QString intelHexPathApp()
{
    return QStringLiteral("IntelHEXPathApp");
}
inline QString intelHexPathMain()
{
    return QStringLiteral("IntelHEXPathMain");
}
inline QString intelHexPathAddictFile(int slot)
{
    return QStringLiteral("IntelHEXPathAddictFile_%1").arg(slot + 1);
}
inline QString intelHexPathRelease()
{
    return QStringLiteral("IntelHEXPathRelease");
}

inline QString loraOffsetWrtBoot()
{
    return QStringLiteral("LoRaOffsetWrtBoot");
}
inline QString loraOffsetWrtFmwLora()
{
    return QStringLiteral("LoRaOffsetWrtFmwLora");
}
inline QString loraOffsetWrtFmw()
{
    return QStringLiteral("LoRaOffsetWrtFmw");
}
inline QString loraOffsetSrchNameLora()
{
    return QStringLiteral("LoRaOffsetSrchNameLora");
}
inline QString loraOffsetSrchNameFmw()
{
    return QStringLiteral("LoRaOffsetSrchNameFmw");
}
inline QString binaryOffsetFile(int slot)
{
    return QStringLiteral("BinaryOffsetFile_%1").arg(slot + 1);
}

inline QString flashAdress()
{
    return QStringLiteral("FlashAdress");
}
inline QString loraHwId()
{
    return QStringLiteral("LoRaHW_ID");
}

inline QString loraTmpltNameOutFile()
{
    return QStringLiteral("LoRaTmpltNameOutFile");
}
inline QString binaryTmpltNameOutFile()
{
    return QStringLiteral("BinaryTmpltNameOutFile");
}
inline QString intelHexTmpltNameOutFile()
{
    return QStringLiteral("IntelHEXTmpltNameOutFile");
}

inline QString loraFlashSize()
{
    return QStringLiteral("LoRaFlashSize");
}
inline QString binaryFlashSize()
{
    return QStringLiteral("BinaryFlashSize");
}
inline QString intelHexFlashSize()
{
    return QStringLiteral("IntelHEXFlashSize");
}
inline QString intelHexFlashBase()
{
    return QStringLiteral("IntelHEXFlashBase");
}

inline QString tab()
{
    return QStringLiteral("Tab");
}
inline QString binaryEnabled(int slot)
{
    return QStringLiteral("Bin%1").arg(slot + 1);
}
inline QString intelHexEnabled(int slot)
{
    return QStringLiteral("HEX%1").arg(slot + 1);
}

// Default texts of a freshly created config.conf.
inline QString enterPath()
{
    return QStringLiteral("Enter Path..->");
}
inline QString enterReleasePath()
{
    return QStringLiteral("Enter Path..");
}
inline QString zeroOffset()
{
    return QStringLiteral("0");
}
inline QString loraTemplateName()
{
    return QStringLiteral("region_lora_fw");
}
inline QString enterTemplateName()
{
    return QStringLiteral("Enter Template Name");
}
inline QString defaultTab()
{
    return QStringLiteral("1");
}

} // namespace SettingsKeys
