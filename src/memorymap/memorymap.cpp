#include "memorymap.h"

#include <algorithm>

#include <QFileInfo>

#include "imageplan.h"

namespace {

int kindOrder(MemoryRegion::Kind kind)
{
    switch (kind) {
    case MemoryRegion::Kind::Gap:
        return 0;
    case MemoryRegion::Kind::Piece:
        return 1;
    case MemoryRegion::Kind::Overlap:
        return 2;
    case MemoryRegion::Kind::NameField:
        return 3;
    }
    return 4;
}

// Orders the regions (at one address: gap, piece, overlap, name field) and marks what lies outside
// the flash.
void finish(MemoryMap &map)
{
    std::stable_sort(map.regions.begin(), map.regions.end(),
                     [](const MemoryRegion &a, const MemoryRegion &b) {
                         if (a.start != b.start)
                             return a.start < b.start;
                         if (kindOrder(a.kind) != kindOrder(b.kind))
                             return kindOrder(a.kind) < kindOrder(b.kind);
                         return a.pieces < b.pieces;
                     });
    if (!map.flash)
        return;
    for (MemoryRegion &region : map.regions)
        region.beyondFlash = region.start < map.flash->base || region.end > map.flash->end();
}

MemoryRegion pieceRegion(const PiecePlacement &placement)
{
    MemoryRegion region;
    region.kind = MemoryRegion::Kind::Piece;
    region.start = placement.start;
    region.end = placement.end;
    region.pieces = {placement.piece};
    return region;
}

MemoryRegion coverageRegion(const CoverageSpan &span)
{
    MemoryRegion region;
    region.kind =
        span.kind == CoverageSpan::Kind::Gap ? MemoryRegion::Kind::Gap : MemoryRegion::Kind::Overlap;
    region.start = span.start;
    region.end = span.end;
    region.pieces = span.pieces;
    region.sameBytes = span.sameBytes;
    return region;
}

MemoryRegion nameFieldRegion(const NameFieldPlacement &field)
{
    MemoryRegion region;
    region.kind = MemoryRegion::Kind::NameField;
    region.field = field.field == NameFieldPlacement::Field::LoRaMac ? MemoryRegion::Field::LoRaMac
                                                                     : MemoryRegion::Field::Firmware;
    region.start = field.start;
    region.end = field.end;
    region.pieces = {field.piece};
    region.fieldBytes = field.bytes;
    return region;
}

MemoryMap mapOf(const ImagePlan &plan, const PlannedImage &image)
{
    MemoryMap map;
    map.title = image.title;
    map.addressed = plan.addressed;
    map.flash = plan.flash;
    map.start = image.start;
    map.end = image.end;
    for (int index = 0; index < image.pieces.size(); ++index) {
        const QString &path = plan.piece(image, index).sourcePath;
        map.pieces.append({QFileInfo(path).fileName(), path});
    }
    for (const PiecePlacement &placement : image.placements)
        map.regions.append(pieceRegion(placement));
    for (const CoverageSpan &span : image.coverage)
        map.regions.append(coverageRegion(span));
    for (const NameFieldPlacement &field : image.nameFields)
        map.regions.append(nameFieldRegion(field));
    finish(map);
    return map;
}

// What the map says when there is nothing to draw and nothing went wrong.
QString nothingToMap(ImagePlan::Kind kind)
{
    switch (kind) {
    case ImagePlan::Kind::LoRa:
        return QStringLiteral("Нет файлов для карты: не найден ни один файл LoRa.");
    case ImagePlan::Kind::Binary:
    case ImagePlan::Kind::IntelHexJoin:
        return QStringLiteral("Нет файлов для карты: не отмечен ни один файл.");
    case ImagePlan::Kind::ImageFile:
        break;
    }
    return QString();
}

} // namespace

quint64 MemoryMap::viewStart() const
{
    return flash ? qMin(start, flash->base) : start;
}

quint64 MemoryMap::viewEnd() const
{
    return flash ? qMax(end, flash->end()) : end;
}

double MemoryMap::fraction(quint64 address) const
{
    const quint64 from = viewStart();
    const quint64 to = viewEnd();
    if (to <= from)
        return 0.0;
    return double(qint64(address - from)) / double(to - from);
}

bool MemoryMap::hasRefusedOverlap() const
{
    return std::any_of(regions.cbegin(), regions.cend(), [](const MemoryRegion &region) {
        return region.kind == MemoryRegion::Kind::Overlap && !region.sameBytes;
    });
}

quint64 MemoryMap::overflow() const
{
    return bytesOutsideFlash(start, end, flash);
}

bool MemoryMapSet::hasRefusedOverlap() const
{
    return std::any_of(maps.cbegin(), maps.cend(),
                       [](const MemoryMap &map) { return map.hasRefusedOverlap(); });
}

MemoryMapSet memoryMapsOf(const ImagePlan &plan)
{
    MemoryMapSet set;
    for (const Verdict &verdict : plan.verdicts) {
        if (verdict.aboutPiece)
            set.problems << verdict.problem.toString();
    }
    for (const PlannedImage &image : plan.images)
        set.maps.append(mapOf(plan, image));
    if (set.maps.isEmpty() && set.problems.isEmpty() && !nothingToMap(plan.kind).isEmpty())
        set.problems << nothingToMap(plan.kind);
    return set;
}
