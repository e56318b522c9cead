#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "flashtarget.h"
#include "releasename.h"

class Reporter;
struct ImagePiece;

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

struct LoRaImage {
    QString path;
};

struct LoRaResult {
    bool succeeded = false;
    QList<LoRaImage> images; // written, in order
};

// The name fields as the image's name is read from them: the LoRaMAC file's at regionFieldOffset,
// the application's at fwFieldOffset (fewer bytes, or none, where a field runs past its file's end).
QByteArray loraMacNameField(const LoRaJob &job, const ImagePiece &loraMac);
QByteArray firmwareNameField(const LoRaJob &job, const ImagePiece &app);

// What one (LoRaMAC, application) pair's image is named from: the raw name fields, what they say,
// and the name they give the image (without ".bin").
struct PairNames {
    QByteArray loraMacField;
    QByteArray firmwareField;
    ReleaseNameFields fields;
    QString baseName;
};
PairNames namePair(const LoRaJob &job, const ImagePiece &loraMac, const ImagePiece &app);

// Builds one image per (LoRaMAC, application) pair, each holding the bootloader, the LoRaMAC image and
// the application at their offsets, named from the template and the pair's name fields. Every file is
// read and every pair's layout checked before the first image is written, so a bad offset or a
// missing file writes nothing. Errors, warnings and the closing "Сборка завершена" go to the reporter;
// the closing message names the bootloader when there were several to choose from.
LoRaResult assembleLoRaImages(const LoRaJob &job, Reporter &reporter);
