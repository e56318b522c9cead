#pragma once

#include <QByteArray>
#include <QString>

#include "imagejobs.h"
#include "releasename.h"

struct ImagePiece;

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
