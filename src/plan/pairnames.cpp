#include "pairnames.h"

#include "imagepiece.h"

QByteArray loraMacNameField(const LoRaJob &job, const ImagePiece &loraMac)
{
    return loraMac.fileBytes(job.regionFieldOffset, LoRaMacNameFieldSize);
}

QByteArray firmwareNameField(const LoRaJob &job, const ImagePiece &app)
{
    return app.fileBytes(job.fwFieldOffset, FirmwareNameFieldSize);
}

PairNames namePair(const LoRaJob &job, const ImagePiece &loraMac, const ImagePiece &app)
{
    PairNames names;
    names.loraMacField = loraMacNameField(job, loraMac);
    names.firmwareField = firmwareNameField(job, app);
    names.fields =
        parseReleaseNameFields(nameFieldText(names.loraMacField), nameFieldText(names.firmwareField));
    names.baseName = fillReleaseTemplate(job.nameTemplate, names.fields);
    return names;
}
