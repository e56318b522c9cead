#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "flashtarget.h"

struct ImagePlan;

// What an image holds and where, before anything is written, as a picture: drawn from the plan of a
// tab's job (the plan "Сборка" builds, so the picture cannot disagree with the image) or of an image
// file. The window draws it, quillon-cli prints it and writes it as SVG.

// One source of the image: a file that goes in (or, for an image file, the file itself).
struct MapPiece {
    QString name; // the file name
    QString path; // as given
};

// A span of addresses, half-open [start, end). For images laid out by offsets (LoRa, Binary, a .bin
// file) addresses are offsets in the image; Intel HEX images carry their own.
struct MemoryRegion {
    enum class Kind {
        Gap,       // no piece covers it: zero bytes in a flat image, no data in Intel HEX
        Piece,     // a piece whole, or for Intel HEX one of its data ranges
        Overlap,   // two pieces or more cover it
        NameField, // a LoRa name field, inside its piece
    };
    enum class Field { None, LoRaMac, Firmware };

    Kind kind = Kind::Piece;
    quint64 start = 0;
    quint64 end = 0;
    QList<int> pieces;         // indexes into MemoryMap::pieces: the piece, or each piece overlapping
    Field field = Field::None; // which name field
    QByteArray fieldBytes;     // the field as read (fewer bytes where it runs past its file)
    bool sameBytes = false;    // an overlap of Intel HEX files that agree on its bytes: joined as one
    bool beyondFlash = false;  // some of it lies outside the target's flash

    quint64 size() const { return end - start; }
};

struct MemoryMap {
    QString title;          // the image's file name, or the image file's path
    bool addressed = false; // true: Intel HEX addresses; false: offsets in a flat image
    QList<MapPiece> pieces;
    QList<MemoryRegion> regions; // by start address; at one address gap, piece, overlap, name field
    // The image from its first to one past its last byte; a flat image always starts at 0.
    quint64 start = 0;
    quint64 end = 0;
    std::optional<FlashTarget> flash;

    // What a picture of the map spans: the image and its flash together.
    quint64 viewStart() const;
    quint64 viewEnd() const;
    // Where an address lies in the picture, from 0 (viewStart) to 1 (viewEnd).
    double fraction(quint64 address) const;

    // Pieces that share bytes the build refuses (Intel HEX files that agree on them are joined).
    bool hasRefusedOverlap() const;
    // Bytes of the image outside its flash: past its end, or below its base. 0 when it fits or
    // no flash was chosen.
    quint64 overflow() const;
};

// The maps of a plan (a LoRa job gives one per LoRaMAC and application pair) and what kept pieces
// out of them or marks them: files that cannot be read, or that the build would refuse.
struct MemoryMapSet {
    QList<MemoryMap> maps;
    QStringList problems;

    bool hasRefusedOverlap() const;
};

MemoryMapSet memoryMapsOf(const ImagePlan &plan);
