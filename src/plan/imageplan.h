#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

#include "flashtarget.h"
#include "imagejobs.h"
#include "imagepiece.h"
#include "problem.h"
#include "releasename.h"

class JobRun;

// What a job is going to write, worked out once before anything is written: every source file
// opened once and placed, the overlaps, whether each image fits its flash, the LoRa name fields and
// the one image per LoRaMAC and application pair. "Сборка" writes the images of a plan (build/), the
// window asks its flash question from the plan it then builds, and the memory map draws a plan
// (memorymap/), so the picture, the question and the image cannot disagree.
//
// Planning goes on past what it finds wrong, so that the map can show whatever can be shown; what
// it finds is kept as verdicts in the order the checks met them, and a build writes nothing when
// one of them stops it.

enum class PlanPurpose {
    Build, // every source read as the build reads it
    Look,  // only a look at the layout: a pipe or a FIFO would be used up, and is left out with a note
};

// Where an image takes the bytes of one of its pieces: a piece whole (LoRa, Binary) or one data
// range of it (Intel HEX), half-open [start, end): offsets in a flat image, or addresses.
struct PiecePlacement {
    int piece = 0; // index into PlannedImage::pieces
    quint64 start = 0;
    quint64 end = 0;
};

// A LoRa name field inside its piece, where the image holds it.
struct NameFieldPlacement {
    enum class Field { LoRaMac, Firmware };

    Field field = Field::LoRaMac;
    int piece = 0; // index into PlannedImage::pieces
    quint64 start = 0;
    quint64 end = 0;
    QByteArray bytes; // the field as read (fewer bytes where it runs past its file)
};

// A span of an image that no piece covers, or that two pieces or more cover.
struct CoverageSpan {
    enum class Kind { Gap, Overlap };

    Kind kind = Kind::Gap;
    quint64 start = 0;
    quint64 end = 0;
    QList<int> pieces;      // an overlap's pieces, as indexes into PlannedImage::pieces
    bool sameBytes = false; // an overlap of Intel HEX files that agree on its bytes: joined as one
};

struct PlannedImage {
    QString fileName;  // with its extension, below the output directory; empty while it has no name
    QString title;     // how messages and the map call it: its file name, or what it is
    QList<int> pieces; // into ImagePlan::pieces, in the order they are placed
    QList<PiecePlacement> placements;
    QList<NameFieldPlacement> nameFields;
    std::optional<ReleaseNameFields> names; // what a LoRa image is named from, for its manifest
    QList<CoverageSpan> coverage;           // the gaps and overlaps from start to end, by address
    // The image from its first byte to one past its last; a flat image starts at 0.
    quint64 start = 0;
    quint64 end = 0;
};

// Something planning found. A build says the verdicts in order and stops at the first that stops
// it; the map lists those about a piece (one it leaves out, or shows with a note).
struct Verdict {
    Problem problem;
    bool stopsBuild = true;
    bool aboutPiece = false;
};

struct ImagePlan {
    enum class Kind { LoRa, Binary, IntelHexJoin, ImageFile };

    Kind kind = Kind::Binary;
    bool addressed = false; // the images carry addresses (Intel HEX); otherwise offsets in a flat image
    QString outputDir;
    ImageFormat format = ImageFormat::RawBinary;
    std::optional<FlashTarget> flash; // a flat image's flash starts at its first byte
    QList<ImagePiece> pieces;         // each source file once, however many images it goes into
    QList<PlannedImage> images;
    QList<Verdict> verdicts;
    QString finishedText;   // what a build that wrote every image says
    bool cancelled = false; // the run was cancelled while planning: the plan is incomplete

    const ImagePiece &piece(const PlannedImage &image, int index) const
    {
        return pieces.at(image.pieces.at(index));
    }
    // Why a build would write nothing: the first verdict that stops it.
    std::optional<Problem> refusal() const;
    // Pieces that share bytes the build refuses.
    bool hasRefusedOverlap() const;
    // Why the first image that does not fit the chosen flash does not, naming the overflow in bytes;
    // none when every image fits, or when no flash was chosen.
    std::optional<Problem> flashOverflow() const;
};

// The bytes of [start, end) outside the flash: past its end or below its base; 0 without a flash.
quint64 bytesOutsideFlash(quint64 start, quint64 end, const std::optional<FlashTarget> &flash);

// The plans of the three tabs' jobs. Progress and cancellation go through `run`; problems are kept
// in the plan as verdicts, not reported.
ImagePlan planImages(const LoRaJob &job, JobRun &run, PlanPurpose purpose = PlanPurpose::Build);
ImagePlan planImages(const BinaryJob &job, JobRun &run, PlanPurpose purpose = PlanPurpose::Build);
ImagePlan planImages(const IntelHexJoinJob &job, JobRun &run, PlanPurpose purpose = PlanPurpose::Build);
// An image file in any format "quillon-cli info" reads, read as info reads it, for its map.
// `flashSize` none: no limit; a binary's flash starts at its first byte, an addressed image's at
// `flashBase`.
ImagePlan planImageFile(const QString &path, std::optional<quint64> flashSize,
                        quint64 flashBase = DefaultFlashBase);
