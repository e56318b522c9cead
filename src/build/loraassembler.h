#pragma once

#include <QList>
#include <QString>

#include "imagejobs.h"

class JobRun;
class Reporter;

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
// the closing message names the bootloader when there were several to choose from. The run gets the
// progress over all images; a cancel stops the image being written (it stays as it was before) and
// the images after it, and reports nothing.
LoRaResult assembleLoRaImages(const LoRaJob &job, Reporter &reporter, JobRun &run);
