#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Reporter;

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
};

struct LoRaImage {
    QString path;
};

struct LoRaResult {
    bool succeeded = false;
    QList<LoRaImage> images; // written, in order
};

// Builds one image per (LoRaMAC, application) pair, each holding the bootloader, the LoRaMAC image and
// the application at their offsets, named from the template and the pair's name fields. Every file is
// read and every pair's layout checked before the first image is written, so a bad offset or a
// missing file writes nothing. Errors, warnings and the closing "Сборка завершена" go to the reporter;
// the closing message names the bootloader when there were several to choose from.
LoRaResult assembleLoRaImages(const LoRaJob &job, Reporter &reporter);
