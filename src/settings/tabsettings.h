#pragma once

#include <array>

#include <QString>

class QSettings;

// Everything on an assembly tab that changes the job it builds, one struct per tab: the window's
// tabs fill it from their widgets, quillon-cli from its defaults, a settings file and its options,
// and one function per tab turns it into the job (assembly/tabjobs.h).
//
// Most fields are stored in config.conf and the template files ("Templates Setting/*.LoRa|.binary|
// .IntelHEX") under the keys noted beside them. The choices the files have never held (file-name
// filters, output format, placement mode) are not stored: reading a file leaves them as they are.
// Each load/save works on an already open store and touches only its own tab's keys; offsets stay
// the text the user typed. The flash the image is meant for is kept only once the user has chosen
// a size: an empty size means no limit and leaves no key behind, so files written before there was
// a choice load and save exactly as they are.
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
    QString flashSize;          // Flash/LoRaFlashSize, e.g. "0x80000"; empty: no limit

    // Which files of each source directory are pieces (wildcard patterns, not stored).
    QString bootFilter = extensionFilter(false);
    QString loraMacFilter = extensionFilter(true);
    QString appFilter = extensionFilter(false);

    // "*.bin" or "*.hex".
    static QString extensionFilter(bool hex);
    // Put in front of the LoRaMAC filter, it keeps only files whose name holds "LoraMAC".
    static QString loraMacNamePattern() { return QStringLiteral("*LoraMAC*"); }

    static LoRaSettings defaults();
    // The stored fields from the file (empty where a key is missing), the others as defaults() has them.
    static LoRaSettings load(QSettings &store);
    // Reads the stored fields over this struct; the fields that are not stored keep their values.
    void readStored(QSettings &store);
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
    QString flashSize;                 // Flash/BinaryFlashSize; empty: no limit
    // The pieces follow one another from offset 0 instead of each going to its own offset (not stored).
    bool sequential = false;
    // The image is named ".hex" instead of ".bin" (not stored).
    bool hexOutput = false;

    static BinarySettings defaults();
    static BinarySettings load(QSettings &store);
    void readStored(QSettings &store);
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
    QString flashSize;                     // Flash/IntelHEXFlashSize; empty: no limit
    QString flashBase;                     // Flash/IntelHEXFlashBase; empty: 0x08000000

    // The six sources in join order: boot, app (firmware bootloader), main, additional 1..3.
    std::array<QString, 6> sourcesInOrder() const;
    void setSourceInOrder(int slot, const QString &path);

    static IntelHexSettings defaults();
    static IntelHexSettings load(QSettings &store);
    void readStored(QSettings &store);
    void save(QSettings &store) const;
    bool operator==(const IntelHexSettings &other) const;
    bool operator!=(const IntelHexSettings &other) const { return !(*this == other); }
};
