#pragma once

#include <QWidget>

#include "memorymap.h"

class QPainter;

// One image drawn as a bar scaled to the addresses it spans (its flash included): a colour per
// piece, gaps white, overlaps red, the name fields marked above the bar, the flash's limits as
// dashed lines and what lies beyond them hatched. Hovering a region shows its exact range.
class MemoryMapBar : public QWidget {
public:
    explicit MemoryMapBar(QWidget *parent = nullptr);

    void setMap(const MemoryMap &map);
    const MemoryMap &map() const { return m_map; }

    // Where an address is drawn, in the widget's coordinates; and the bar itself.
    double xOf(quint64 address) const;
    QRectF barRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    // The region under a point: a name field's mark, else an overlap, a piece or a gap.
    const MemoryRegion *regionAt(const QPointF &point) const;
    QRectF regionRect(const MemoryRegion &region) const;
    // Where a region's name goes: for a piece, its widest part outside every overlap.
    QRectF labelRect(const MemoryRegion &region) const;

    void paintRegions(QPainter &painter) const;
    void paintNames(QPainter &painter) const;
    // Hatches what lies outside the flash.
    void paintBeyondFlash(QPainter &painter) const;
    // The first and last address shown, under the bar.
    void paintAddresses(QPainter &painter) const;
    // The flash's start and end as dashed lines.
    void paintFlashLimits(QPainter &painter) const;

    MemoryMap m_map;
};
