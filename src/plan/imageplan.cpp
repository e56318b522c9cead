#include "imageplan.h"

#include <algorithm>

#include <QFileInfo>
#include <QMap>

#include "assemblymessages.h"
#include "planning.h"

std::optional<Problem> ImagePlan::refusal() const
{
    for (const Verdict &verdict : verdicts) {
        if (verdict.stopsBuild)
            return verdict.problem;
    }
    return std::nullopt;
}

bool ImagePlan::hasRefusedOverlap() const
{
    return std::any_of(images.cbegin(), images.cend(), [](const PlannedImage &image) {
        return std::any_of(image.coverage.cbegin(), image.coverage.cend(), [](const CoverageSpan &span) {
            return span.kind == CoverageSpan::Kind::Overlap && !span.sameBytes;
        });
    });
}

std::optional<Problem> ImagePlan::flashOverflow() const
{
    if (!flash)
        return std::nullopt;
    for (const PlannedImage &image : images) {
        if (const quint64 outside = bytesOutsideFlash(image.start, image.end, flash))
            return Problem::error(AssemblyText::doesNotFitFlash(image.title, *flash, outside));
    }
    return std::nullopt;
}

quint64 bytesOutsideFlash(quint64 start, quint64 end, const std::optional<FlashTarget> &flash)
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

namespace Planning {

void refuse(ImagePlan &plan, Problem problem, bool aboutPiece)
{
    plan.verdicts.append({std::move(problem), true, aboutPiece});
}

void warn(ImagePlan &plan, Problem problem)
{
    plan.verdicts.append({std::move(problem), false, false});
}

std::optional<int> PieceOpener::open(const QString &path)
{
    // Looking at a layout must cost a source nothing: a pipe or a FIFO read now would be gone.
    const QFileInfo info(path);
    if (m_purpose == PlanPurpose::Look && info.exists() && !info.isFile() && !info.isDir()) {
        refuse(m_plan, Problem::error(m_lookNote(path)), true);
        return std::nullopt;
    }
    Result<ImagePiece> piece = openImagePiece(path, m_heldBudget);
    if (!piece) {
        refuse(m_plan, piece.problems().first(), true);
        return std::nullopt;
    }
    m_plan.pieces.append(std::move(piece).value());
    return int(m_plan.pieces.size() - 1);
}

std::optional<int> PieceOpener::openRaw(const QString &path, WrongFormat wrongFormat)
{
    const std::optional<int> index = open(path);
    if (!index)
        return std::nullopt;
    const ImagePiece &piece = m_plan.pieces.at(*index);
    // Records or an ELF file placed as bytes would be a wrong image, an empty file no piece at all.
    if (piece.isRecordOrExecutable())
        refuse(m_plan, wrongFormat(piece), true);
    else if (piece.size() == 0)
        refuse(m_plan, Problem::error(AssemblyText::emptyPiece(path)), true);
    return index;
}

bool checkFitsImage(ImagePlan &plan, const ImagePiece &piece, qint64 offset)
{
    if (offset + piece.size() <= LargestImageSize)
        return true;
    refuse(plan, Problem::error(AssemblyText::pastLargestImage(piece.sourcePath, offset, piece.size())));
    return false;
}

void placeWhole(ImagePlan &plan, PlannedImage &image, int piece, qint64 offset)
{
    const int index = int(image.pieces.size());
    image.pieces.append(piece);
    image.placements.append({index, quint64(offset), quint64(offset + plan.pieces.at(piece).size())});
}

void finishFlatImage(PlannedImage &image)
{
    image.start = 0; // a flat image file starts at offset 0, whatever its first piece
    image.end = 0;
    for (const PiecePlacement &placement : image.placements)
        image.end = qMax(image.end, placement.end);
    image.coverage = coverageOf(image.placements, image.start, image.end);
}

namespace {

struct Edge {
    quint64 address;
    int piece;
    int change;
};

QList<Edge> edgesOf(const QList<PiecePlacement> &placements)
{
    QList<Edge> edges;
    for (const PiecePlacement &placement : placements) {
        if (placement.end > placement.start) {
            edges.append({placement.start, placement.piece, +1});
            edges.append({placement.end, placement.piece, -1});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge &a, const Edge &b) { return a.address < b.address; });
    return edges;
}

// Adds [from, to) covered by `present` as a gap (none) or an overlap (two or more), joined to the
// span before it when that is of the same kind and pieces.
void addSpan(QList<CoverageSpan> &spans, quint64 from, quint64 to, const QList<int> &present)
{
    if (from >= to || present.size() == 1)
        return; // one piece: its own placement says it
    const CoverageSpan::Kind kind = present.isEmpty() ? CoverageSpan::Kind::Gap : CoverageSpan::Kind::Overlap;
    if (!spans.isEmpty() && spans.last().kind == kind && spans.last().end == from &&
        spans.last().pieces == present) {
        spans.last().end = to;
        return;
    }
    spans.append({kind, from, to, present, false});
}

} // namespace

QList<CoverageSpan> coverageOf(const QList<PiecePlacement> &placements, quint64 start, quint64 end)
{
    const QList<Edge> edges = edgesOf(placements);
    QMap<int, int> covering; // piece -> how many of its placements cover the current address
    QList<CoverageSpan> spans;
    quint64 previous = start;
    for (qsizetype i = 0; i < edges.size();) {
        const quint64 address = edges.at(i).address;
        addSpan(spans, previous, address, covering.keys());
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
    addSpan(spans, previous, end, covering.keys());
    return spans;
}

} // namespace Planning
