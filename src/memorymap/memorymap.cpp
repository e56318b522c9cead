#include "memorymap.h"

#include <algorithm>

#include <QFileInfo>
#include <QMap>

#include "assemblymessages.h"
#include "imageinfo.h"
#include "imagejobs.h"
#include "imagelimits.h"
#include "imagepiece.h"
#include "inputfile.h"
#include "intelhexreader.h"
#include "memoryimage.h"
#include "pairnames.h"
#include "reporter.h"

namespace {

// What the readers would have shown in boxes, kept as the reasons a piece is missing from a map.
class ProblemList : public Reporter {
public:
    QStringList texts;
    void message(MessageKind, const QString &, const QString &text) override { texts << text; }
    bool ask(const QString &, const QString &) override { return false; }
};

// The addresses one piece (or one data range of it) takes.
struct Placement {
    int piece = 0;
    quint64 start = 0;
    quint64 end = 0;
};

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

// Every placement whole, then what between `start` and `end` no piece covers (gaps) and what two
// pieces or more cover (overlaps), found in one sweep over the placements' edges.
QList<MemoryRegion> regionsOf(const QList<Placement> &placements, quint64 start, quint64 end)
{
    QList<MemoryRegion> regions;
    struct Edge {
        quint64 address;
        int piece;
        int change;
    };
    QList<Edge> edges;
    for (const Placement &placement : placements) {
        MemoryRegion region;
        region.kind = MemoryRegion::Kind::Piece;
        region.start = placement.start;
        region.end = placement.end;
        region.pieces = {placement.piece};
        regions.append(region);
        if (placement.end > placement.start) {
            edges.append({placement.start, placement.piece, +1});
            edges.append({placement.end, placement.piece, -1});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge &a, const Edge &b) { return a.address < b.address; });

    QMap<int, int> covering; // piece -> how many of its placements cover the current address
    QList<MemoryRegion> spans;
    const auto addSpan = [&](quint64 from, quint64 to) {
        if (from >= to)
            return;
        const QList<int> present = covering.keys();
        if (present.size() == 1)
            return; // one piece: its own region says it
        const MemoryRegion::Kind kind =
            present.isEmpty() ? MemoryRegion::Kind::Gap : MemoryRegion::Kind::Overlap;
        if (!spans.isEmpty() && spans.last().kind == kind && spans.last().end == from &&
            spans.last().pieces == present) {
            spans.last().end = to;
            return;
        }
        MemoryRegion span;
        span.kind = kind;
        span.start = from;
        span.end = to;
        span.pieces = present;
        spans.append(span);
    };
    quint64 previous = start;
    for (qsizetype i = 0; i < edges.size();) {
        const quint64 address = edges.at(i).address;
        addSpan(previous, address);
        for (; i < edges.size() && edges.at(i).address == address; ++i) {
            const Edge &edge = edges.at(i);
            const int count = covering.value(edge.piece) + edge.change;
            if (count == 0)
                covering.remove(edge.piece);
            else
                covering.insert(edge.piece, count);
        }
        previous = qMax(previous, address);
    }
    addSpan(previous, end);
    return regions + spans;
}

// Orders the regions, places the image and marks what lies outside the flash.
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

QString fileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

// A piece as the assemblers open it, but only when looking costs the file nothing: a pipe or a FIFO
// would be used up, and is left out with a note.
std::optional<ImagePiece> openForMap(const QString &path, ProblemList &problems, qint64 &heldBudget)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        problems.texts << QStringLiteral("Файл %1 не показан на карте: это не обычный файл, его размер "
                                         "известен только после чтения.")
                              .arg(path);
        return std::nullopt;
    }
    return openImagePiece(path, problems, heldBudget);
}

// Flat images (LoRa, Binary) take raw pieces that hold bytes; records or ELF among them, or an
// empty file, are refused by the build, and are shown (by the file's size) with a note that says so.
void noteNotRawPiece(const ImagePiece &piece, ProblemList &problems)
{
    if (piece.isRecordOrExecutable())
        problems.texts << AssemblyText::isNotRawImage(piece.sourcePath, piece.format);
    else if (piece.size() == 0)
        problems.texts << AssemblyText::emptyPiece(piece.sourcePath);
}

class FlatMapBuilder {
public:
    explicit FlatMapBuilder(const std::optional<FlashTarget> &flash)
    {
        m_map.flash = flash;
        if (m_map.flash)
            m_map.flash->base = 0; // a flat image starts at the flash's first byte
    }

    int place(const ImagePiece &piece, qint64 offset)
    {
        const int index = int(m_map.pieces.size());
        m_map.pieces.append({fileNameOf(piece.sourcePath), piece.sourcePath});
        m_placements.append({index, quint64(offset), quint64(offset + piece.size())});
        return index;
    }

    void addNameField(MemoryRegion::Field field, int piece, qint64 pieceOffset, qint64 fieldOffset,
                      qint64 fieldSize, const QByteArray &bytes)
    {
        MemoryRegion region;
        region.kind = MemoryRegion::Kind::NameField;
        region.field = field;
        region.start = quint64(pieceOffset + fieldOffset);
        region.end = region.start + quint64(fieldSize);
        region.pieces = {piece};
        region.fieldBytes = bytes;
        m_fields.append(region);
    }

    bool isEmpty() const { return m_placements.isEmpty(); }

    MemoryMap finish(const QString &title)
    {
        m_map.title = title;
        m_map.start = 0; // a flat image file starts at offset 0, whatever its first piece
        m_map.end = 0;
        for (const Placement &placement : m_placements)
            m_map.end = qMax(m_map.end, placement.end);
        m_map.regions = regionsOf(m_placements, m_map.start, m_map.end) + m_fields;
        ::finish(m_map);
        return m_map;
    }

private:
    MemoryMap m_map;
    QList<Placement> m_placements;
    QList<MemoryRegion> m_fields;
};

// The bytes of `image` from `start` to `end`, which it covers without a hole.
QByteArray bytesOf(const MemoryImage &image, quint64 start, quint64 end)
{
    QByteArray bytes;
    for (const MemoryImage::Range &range : image.ranges()) {
        if (range.end() <= start || range.start >= end)
            continue;
        const quint64 from = qMax(start, range.start);
        const quint64 to = qMin(end, range.end());
        bytes += range.bytes.mid(qsizetype(from - range.start), qsizetype(to - from));
    }
    return bytes;
}

// Builds the map of an image that carries addresses from the data ranges of its pieces.
MemoryMap addressedMap(const QString &title, const QList<MapPiece> &pieces,
                       const QList<Placement> &placements, const std::optional<FlashTarget> &flash)
{
    MemoryMap map;
    map.title = title;
    map.addressed = true;
    map.pieces = pieces;
    map.flash = flash;
    bool first = true;
    for (const Placement &placement : placements) {
        if (placement.end == placement.start)
            continue;
        map.start = first ? placement.start : qMin(map.start, placement.start);
        map.end = first ? placement.end : qMax(map.end, placement.end);
        first = false;
    }
    map.regions = regionsOf(placements, map.start, map.end);
    finish(map);
    return map;
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
    if (!flash || end <= start)
        return 0;
    quint64 outside = 0;
    if (end > flash->end())
        outside += end - qMax(start, flash->end());
    if (start < flash->base)
        outside += qMin(end, flash->base) - start;
    return outside;
}

bool MemoryMapSet::hasRefusedOverlap() const
{
    return std::any_of(maps.cbegin(), maps.cend(),
                       [](const MemoryMap &map) { return map.hasRefusedOverlap(); });
}

const MemoryMap *MemoryMapSet::firstOverflowing() const
{
    for (const MemoryMap &map : maps) {
        if (map.overflow() > 0)
            return &map;
    }
    return nullptr;
}

MemoryMapSet memoryMapsOf(const LoRaJob &job)
{
    MemoryMapSet set;
    ProblemList problems;
    qint64 heldBudget = LargestImageSize;
    const auto openAll = [&](const QStringList &paths) {
        QList<std::optional<ImagePiece>> pieces;
        for (const QString &path : paths) {
            if (std::optional<ImagePiece> piece = openForMap(path, problems, heldBudget)) {
                noteNotRawPiece(*piece, problems);
                pieces.append(piece);
            }
        }
        // While a source is still empty the others are shown all the same: the map grows as the
        // tab is filled in.
        if (pieces.isEmpty())
            pieces.append(std::nullopt);
        return pieces;
    };
    std::optional<ImagePiece> boot;
    if (!job.bootPath.isEmpty()) {
        boot = openForMap(job.bootPath, problems, heldBudget);
        if (boot)
            noteNotRawPiece(*boot, problems);
    }
    const QList<std::optional<ImagePiece>> loraMacs = openAll(job.loraMacPaths);
    const QList<std::optional<ImagePiece>> apps = openAll(job.appPaths);

    for (const std::optional<ImagePiece> &loraMac : loraMacs) {
        for (const std::optional<ImagePiece> &app : apps) {
            FlatMapBuilder builder(job.flash);
            if (boot)
                builder.place(*boot, job.bootOffset);
            if (loraMac) {
                const int piece = builder.place(*loraMac, job.loraMacOffset);
                builder.addNameField(MemoryRegion::Field::LoRaMac, piece, job.loraMacOffset,
                                     job.regionFieldOffset, LoRaMacNameFieldSize,
                                     loraMacNameField(job, *loraMac));
            }
            if (app) {
                const int piece = builder.place(*app, job.appOffset);
                builder.addNameField(MemoryRegion::Field::Firmware, piece, job.appOffset, job.fwFieldOffset,
                                     FirmwareNameFieldSize, firmwareNameField(job, *app));
            }
            if (builder.isEmpty())
                continue;
            // The image's own name once both name fields are there; until then, what it is.
            const QString title = loraMac && app
                                      ? namePair(job, *loraMac, *app).baseName + QStringLiteral(".bin")
                                      : QStringLiteral("образ LoRa");
            set.maps.append(builder.finish(title));
        }
    }
    set.problems = problems.texts;
    if (set.maps.isEmpty() && set.problems.isEmpty())
        set.problems << QStringLiteral("Нет файлов для карты: не найден ни один файл LoRa.");
    return set;
}

MemoryMapSet memoryMapsOf(const BinaryJob &job)
{
    MemoryMapSet set;
    ProblemList problems;
    qint64 heldBudget = LargestImageSize;
    FlatMapBuilder builder(job.flash);
    qint64 previousEnd = 0;
    for (const BinarySlot &slot : job.files) {
        if (!slot.enabled)
            continue;
        const std::optional<ImagePiece> piece = openForMap(slot.path, problems, heldBudget);
        if (!piece)
            continue;
        noteNotRawPiece(*piece, problems);
        const qint64 offset = binaryPieceOffset(job, slot, previousEnd);
        builder.place(*piece, offset);
        previousEnd = offset + piece->size();
    }
    set.problems = problems.texts;
    if (!builder.isEmpty()) {
        const QString title = QFileInfo(job.fileName).completeBaseName().isEmpty()
                                  ? QStringLiteral("образ Binary")
                                  : job.fileName;
        set.maps.append(builder.finish(title));
    } else if (set.problems.isEmpty()) {
        set.problems << QStringLiteral("Нет файлов для карты: не отмечен ни один файл.");
    }
    return set;
}

MemoryMapSet memoryMapsOf(const IntelHexJoinJob &job)
{
    MemoryMapSet set;
    QList<MapPiece> pieces;
    QList<Placement> placements;
    QList<MemoryImage> images; // each piece's data, to tell agreeing overlaps from clashing ones
    qint64 memoryUsed = 0;
    for (const QString &path : job.sources) {
        if (path.isEmpty()) {
            set.problems << QStringLiteral("Один из отмеченных файлов не выбран.");
            continue;
        }
        const QFileInfo info(path);
        if (info.exists() && !info.isFile()) {
            set.problems << QStringLiteral("Файл %1 не показан на карте: это не обычный файл.").arg(path);
            continue;
        }
        InputFile input(path);
        if (!input.open()) {
            set.problems << AssemblyText::inputProblem(path, input);
            continue;
        }
        IntelHexReader reader;
        reader.setMemoryLimit(LargestImageSize, memoryUsed);
        if (!reader.read(input.device(), path)) {
            set.problems << AssemblyText::hexError(path, reader.error().value_or(Problem{}));
            continue;
        }
        memoryUsed = reader.memoryUsed();
        if (reader.content().dataBytes == 0)
            set.problems << AssemblyText::holdsNoData(path);
        std::optional<MemoryImage::Conflict> conflict;
        MemoryImage image = MemoryImage::fromChunks(reader.takeContent().chunks, &conflict);
        if (conflict) {
            set.problems << QStringLiteral("Файл %1 дважды задает адрес %2 разными данными (строки %3 и %4).")
                                .arg(path, HexText::address(conflict->address))
                                .arg(conflict->firstLine)
                                .arg(conflict->secondLine);
            continue;
        }
        const int index = int(pieces.size());
        pieces.append({fileNameOf(path), path});
        for (const auto &[start, end] : image.spans())
            placements.append({index, start, end});
        images.append(std::move(image));
    }
    if (pieces.isEmpty()) {
        if (set.problems.isEmpty())
            set.problems << QStringLiteral("Нет файлов для карты: не отмечен ни один файл.");
        return set;
    }
    const QString title = QFileInfo(job.fileName).completeBaseName().isEmpty()
                              ? QStringLiteral("образ IntelHEX")
                              : job.fileName;
    MemoryMap map = addressedMap(title, pieces, placements, job.flash);
    for (MemoryRegion &region : map.regions) {
        if (region.kind != MemoryRegion::Kind::Overlap)
            continue;
        const QByteArray first = bytesOf(images.at(region.pieces.first()), region.start, region.end);
        region.sameBytes = std::all_of(region.pieces.cbegin() + 1, region.pieces.cend(), [&](int piece) {
            return bytesOf(images.at(piece), region.start, region.end) == first;
        });
    }
    set.maps.append(map);
    return set;
}

MemoryMapSet memoryMapOfImageFile(const QString &path, std::optional<quint64> flashSize, quint64 flashBase)
{
    MemoryMapSet set;
    QString error;
    // Read as "quillon-cli info" reads it, so the two name the same ranges.
    const std::optional<ImageInfo> info = inspectImage(path, &error);
    if (!info) {
        set.problems << error;
        return set;
    }
    const QList<MapPiece> pieces{{fileNameOf(path), path}};
    if (!info->hasAddresses()) {
        FlatMapBuilder builder(flashSize ? std::optional<FlashTarget>(FlashTarget{0, *flashSize})
                                         : std::nullopt);
        ImagePiece whole;
        whole.sourcePath = path;
        whole.fileSize = info->fileSize;
        builder.place(whole, 0);
        set.maps.append(builder.finish(path));
        return set;
    }
    QList<Placement> placements;
    for (const auto &[start, end] : info->ranges)
        placements.append({0, start, end});
    set.maps.append(addressedMap(path, pieces, placements,
                                 flashSize ? std::optional<FlashTarget>(FlashTarget{flashBase, *flashSize})
                                           : std::nullopt));
    return set;
}
