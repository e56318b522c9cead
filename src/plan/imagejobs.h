#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "flashtarget.h"

// What each tab's "Сборка" builds, as tabjobs.h makes it from the tab's settings; imageplan.h
// turns it into the plan that the build, the flash question and the memory map all read.

// Everything one LoRa run needs, gathered from the window or the command line.
struct LoRaJob {
    QString bootPath;
    int bootCandidates = 1;   // files the bootloader was chosen from: the first of them by name
    QStringList loraMacPaths; // outer loop
    QStringList appPaths;     // inner loop
    QString outputDir;
    QString nameTemplate;
    qint64 bootOffset = 0;
    qint64 loraMacOffset = 0;
    qint64 appOffset = 0;
    qint64 regionFieldOffset = 0; // of the LoRaMAC name field, inside the LoRaMAC file
    qint64 fwFieldOffset = 0;     // of the firmware name field, inside the application file
    // The flash the images are meant for; the faces check the fit before a run, the manifest names it.
    std::optional<FlashTarget> flash;
};

// How an image is written: a flat binary from address 0 (the gaps as zero bytes), or Intel HEX with
// each piece's bytes at their offset as address and no record for the gaps.
enum class ImageFormat { RawBinary, IntelHex };

// One "Файл N" row of the Binary tab.
struct BinarySlot {
    bool enabled = false; // unchecked slots are never opened
    QString path;
    qint64 offset = 0; // used only when each piece goes to its own offset
};

struct BinaryJob {
    QList<BinarySlot> files; // in slot order
    // true: the pieces follow one another from offset 0; false: each piece at its own offset.
    bool sequential = false;
    QString outputDir;
    QString fileName; // with its extension
    ImageFormat format = ImageFormat::RawBinary;
    // The flash the image is meant for; the faces check the fit before a run, the manifest names it.
    std::optional<FlashTarget> flash;
};

// What to join: the Intel HEX files in join order (only those that take part) and where the
// image goes.
struct IntelHexJoinJob {
    QStringList sources;
    QString outputDir;
    QString fileName; // with its extension
    // The flash the image is meant for; the faces check the fit before a run, the manifest names it.
    std::optional<FlashTarget> flash;
};
