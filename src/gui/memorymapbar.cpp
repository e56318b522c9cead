#include "memorymapbar.h"

#include <algorithm>

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "hextext.h"
#include "mapcolours.h"
#include "memorymaptext.h"

namespace {

constexpr int SideMargin = 10;
constexpr int MarkHeight = 10; // the name fields' marks above the bar
constexpr int BarHeight = 44;
constexpr int LabelHeight = 18; // addresses under the bar
// So that a 16-byte name field in a 2 MiB flash can still be seen and pointed at.
constexpr double MinimumRegionWidth = 1;
constexpr double MinimumMarkWidth = 3;

QColor colour(const QString &name)
{
    return QColor(name);
}

QColor regionColour(const MemoryRegion &region)
{
    switch (region.kind) {
    case MemoryRegion::Kind::Gap:
        return colour(MapColours::gap());
    case MemoryRegion::Kind::Piece:
        return colour(MapColours::piece(region.pieces.value(0)));
    case MemoryRegion::Kind::Overlap:
        return colour(MapColours::overlap());
    case MemoryRegion::Kind::NameField:
        return colour(MapColours::ink());
    }
    return QColor();
}

} // namespace

MemoryMapBar::MemoryMapBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MemoryMapBar"));
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MemoryMapBar::setMap(const MemoryMap &map)
{
    m_map = map;
    update();
}

QSize MemoryMapBar::sizeHint() const
{
    return QSize(800, MarkHeight + BarHeight + LabelHeight + 4);
}

QSize MemoryMapBar::minimumSizeHint() const
{
    return QSize(200, sizeHint().height());
}

QRectF MemoryMapBar::barRect() const
{
    return QRectF(SideMargin, MarkHeight + 2, qMax(1, width() - 2 * SideMargin), BarHeight);
}

double MemoryMapBar::xOf(quint64 address) const
{
    const QRectF bar = barRect();
    return bar.left() + m_map.fraction(address) * bar.width();
}

QRectF MemoryMapBar::regionRect(const MemoryRegion &region) const
{
    const QRectF bar = barRect();
    const double left = xOf(region.start);
    if (region.kind == MemoryRegion::Kind::NameField)
        return QRectF(left, bar.top() - MarkHeight, qMax(xOf(region.end) - left, MinimumMarkWidth),
                      MarkHeight - 1);
    return QRectF(left, bar.top(), qMax(xOf(region.end) - left, MinimumRegionWidth), bar.height());
}

QRectF MemoryMapBar::labelRect(const MemoryRegion &region) const
{
    if (region.kind != MemoryRegion::Kind::Piece)
        return regionRect(region);
    // The widest part of the piece that no overlap covers.
    QList<QPair<quint64, quint64>> free{{region.start, region.end}};
    for (const MemoryRegion &overlap : m_map.regions) {
        if (overlap.kind != MemoryRegion::Kind::Overlap || !overlap.pieces.contains(region.pieces.value(0)))
            continue;
        QList<QPair<quint64, quint64>> rest;
        for (const auto &[from, to] : free) {
            if (overlap.start > from)
                rest.append({from, qMin(to, overlap.start)});
            if (overlap.end < to)
                rest.append({qMax(from, overlap.end), to});
        }
        free = rest;
    }
    QPair<quint64, quint64> widest{region.start, region.start};
    for (const auto &span : free) {
        if (span.second - span.first > widest.second - widest.first)
            widest = span;
    }
    const QRectF bar = barRect();
    return QRectF(xOf(widest.first), bar.top(), xOf(widest.second) - xOf(widest.first), bar.height());
}

void MemoryMapBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF bar = barRect();
    painter.fillRect(bar, colour(MapColours::freeFlash()));
    if (m_map.regions.isEmpty())
        return;
    paintRegions(painter);
    paintNames(painter);
    paintBeyondFlash(painter);
    painter.setPen(colour(MapColours::outline()));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    paintAddresses(painter);
    paintFlashLimits(painter);
}

void MemoryMapBar::paintRegions(QPainter &painter) const
{
    // Gaps first, the pieces over them, the overlaps over the pieces, the name fields on top.
    for (const MemoryRegion::Kind kind : {MemoryRegion::Kind::Gap, MemoryRegion::Kind::Piece,
                                          MemoryRegion::Kind::Overlap, MemoryRegion::Kind::NameField}) {
        for (const MemoryRegion &region : m_map.regions) {
            if (region.kind == kind && region.size() != 0)
                painter.fillRect(regionRect(region), regionColour(region));
        }
    }
}

// The names go on after every region, so that an overlap drawn over a piece does not cut its name.
void MemoryMapBar::paintNames(QPainter &painter) const
{
    painter.setPen(Qt::white);
    for (const MemoryRegion &region : m_map.regions) {
        if (region.kind != MemoryRegion::Kind::Piece && region.kind != MemoryRegion::Kind::Overlap)
            continue;
        const QRectF rect = labelRect(region);
        const QString name = region.kind == MemoryRegion::Kind::Piece
                                 ? MemoryMapText::regionName(m_map, region)
                                 : QStringLiteral("пересечение");
        if (painter.fontMetrics().horizontalAdvance(name) + 8 < rect.width())
            painter.drawText(rect, Qt::AlignCenter, name);
    }
}

void MemoryMapBar::paintBeyondFlash(QPainter &painter) const
{
    if (!m_map.flash || m_map.overflow() == 0)
        return;
    const QRectF bar = barRect();
    const QBrush hatch(colour(MapColours::beyondFlash()), Qt::BDiagPattern);
    const auto hatchSpan = [&](quint64 from, quint64 to) {
        if (from < to)
            painter.fillRect(QRectF(xOf(from), bar.top(), qMax(xOf(to) - xOf(from), 1.0), bar.height()),
                             hatch);
    };
    hatchSpan(qMax(m_map.start, m_map.flash->end()), m_map.end);
    hatchSpan(m_map.start, qMin(m_map.end, m_map.flash->base));
}

void MemoryMapBar::paintAddresses(QPainter &painter) const
{
    const QRectF bar = barRect();
    painter.setPen(colour(MapColours::ink()));
    const QRectF labels(bar.left(), bar.bottom() + 2, bar.width(), LabelHeight);
    painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, HexText::address(m_map.viewStart()));
    painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, HexText::address(m_map.viewEnd()));
}

void MemoryMapBar::paintFlashLimits(QPainter &painter) const
{
    if (!m_map.flash)
        return;
    const QRectF bar = barRect();
    QPen dashed(colour(MapColours::ink()), 2, Qt::DashLine);
    painter.setPen(dashed);
    for (const quint64 limit : {m_map.flash->base, m_map.flash->end()}) {
        if (limit <= m_map.viewStart() && limit == m_map.flash->base)
            continue;
        const double x = qBound(bar.left(), xOf(limit), std::max(bar.left(), bar.right() - 1));
        painter.drawLine(QPointF(x, bar.top() - MarkHeight), QPointF(x, bar.bottom() + 4));
    }
}

const MemoryRegion *MemoryMapBar::regionAt(const QPointF &point) const
{
    const MemoryRegion *found = nullptr;
    int foundRank = -1;
    for (const MemoryRegion &region : m_map.regions) {
        if (!regionRect(region).contains(point))
            continue;
        int rank = 0;
        switch (region.kind) {
        case MemoryRegion::Kind::Gap:
            rank = 0;
            break;
        case MemoryRegion::Kind::Piece:
            rank = 1;
            break;
        case MemoryRegion::Kind::Overlap:
            rank = 2;
            break;
        case MemoryRegion::Kind::NameField:
            rank = 3;
            break;
        }
        if (rank > foundRank) {
            found = &region;
            foundRank = rank;
        }
    }
    return found;
}

bool MemoryMapBar::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (const MemoryRegion *region = regionAt(help->pos()))
            QToolTip::showText(help->globalPos(), MemoryMapText::rangeText(m_map, *region), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
