#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "imagejobs.h"
#include "tabsettings.h"

// The one way from a tab's settings to the job its assembler runs, shared by the window and
// quillon-cli, so that the two cannot build different images from the same settings. Every rule
// of a tab lives here: which files take part and in which order, which offsets are read, the output
// directory, name and extension. Nothing is read from disk and nothing is written, so the same
// functions describe an image that is only to be looked at.

// A field whose text is not the hexadecimal number it has to be: an offset, or the size or base of
// the flash. Named by its group and key in the settings files (e.g. "Offsets", "LoRaOffsetWrtFmw";
// "Flash", "BinaryFlashSize"); each face names the field in its own words.
struct InvalidOffset {
    QString key;
    QString text;
    QString group = QStringLiteral("Offsets");

    bool isFlashField() const;
    // The error shown for it, the field called `fieldName`.
    QString message(const QString &fieldName) const;
};

template <typename Job> struct JobFromSettings {
    Job job;                                    // complete only when no offset was invalid
    std::optional<InvalidOffset> invalidOffset; // the first field that stopped it

    bool ok() const { return !invalidOffset; }
};

// The files a LoRa run found in its three source directories, in name order; only the first
// bootloader is used.
struct LoRaSourceFiles {
    QStringList boot;
    QStringList loraMacs;
    QStringList apps;
};

JobFromSettings<LoRaJob> loraJobFrom(const LoRaSettings &settings, const LoRaSourceFiles &found);

// The checked files in slot order; each offset is read only when the pieces go to their own offsets.
JobFromSettings<BinaryJob> binaryJobFrom(const BinarySettings &settings);

// The checked files in join order: root bootloader, firmware bootloader, main application,
// additional files 1 to 3.
JobFromSettings<IntelHexJoinJob> intelHexJobFrom(const IntelHexSettings &settings);
