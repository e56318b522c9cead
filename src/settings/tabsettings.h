#pragma once

#include <array>

#include <QString>

class QSettings;

// The stored state of each assembly tab, one struct per tab. The same structs are read from and
// written to config.conf and the template files ("Templates Setting/*.LoRa|.binary|.IntelHEX"), so the
// window and quillon-cli share one description of the keys. Each load/save works on an already
// open store and touches only its own tab's keys; offsets stay the text the user typed.
struct LoRaSettings {
    QString pathToBoot;         // PathTo/LoRaPathToBoot
    QString pathToLoRa;         // PathTo/LoRaPathToLoRa
    QString pathToApp;          // PathTo/LoRaPathToApp
    QString pathToRelease;      // PathTo/LoRaPathToRelease
    QString offsetWrtBoot;      // Offsets/LoRaOffsetWrtBoot
    QString offsetWrtFmwLora;   // Offsets/LoRaOffsetWrtFmwLora
    QString offsetWrtFmw;       // Offsets/LoRaOffsetWrtFmw
    QString offsetSrchNameLora; // Offsets/LoRaOffsetSrchNameLora
    QString offsetSrchNameFmw;  // Offsets/LoRaOffsetSrchNameFmw
    QString templateName;       // Templates_Name/LoRaTmpltNameOutFile

    static LoRaSettings defaults();
    static LoRaSettings load(QSettings &store);
    void save(QSettings &store) const;
    bool operator==(const LoRaSettings &other) const;
    bool operator!=(const LoRaSettings &other) const { return !(*this == other); }
};

struct BinarySettings {
    std::array<QString, 6> pathFile;   // PathTo/BinaryPathFile_1.._6
    QString pathRelease;               // PathTo/BinaryPathRelease
    std::array<QString, 6> offsetFile; // Offsets/BinaryOffsetFile_1.._6
    QString templateName;              // Templates_Name/BinaryTmpltNameOutFile
    std::array<bool, 6> enabled{};     // StateWindow/Bin1..Bin6

    static BinarySettings defaults();
    static BinarySettings load(QSettings &store);
    void save(QSettings &store) const;
    bool operator==(const BinarySettings &other) const;
    bool operator!=(const BinarySettings &other) const { return !(*this == other); }
};

struct IntelHexSettings {
    QString pathBoot;                      // PathTo/IntelHEXPathBoot
    QString pathApp;                       // PathTo/IntelHEXPathApp
    QString pathMain;                      // PathTo/IntelHEXPathMain
    std::array<QString, 3> pathAddictFile; // PathTo/IntelHEXPathAddictFile_1.._3
    QString pathRelease;                   // PathTo/IntelHEXPathRelease
    QString templateName;                  // Templates_Name/IntelHEXTmpltNameOutFile
    std::array<bool, 6> enabled{};         // StateWindow/HEX1..HEX6 (boot, boot2, app, file 1..3)

    // The six sources in join order: boot, app (firmware bootloader), main, additional 1..3.
    std::array<QString, 6> sourcesInOrder() const;

    static IntelHexSettings defaults();
    static IntelHexSettings load(QSettings &store);
    void save(QSettings &store) const;
    bool operator==(const IntelHexSettings &other) const;
    bool operator!=(const IntelHexSettings &other) const { return !(*this == other); }
};
