#include "memorymapsvg.h"

#include <algorithm>

#include <QXmlStreamWriter>

#include "hextext.h"
#include "mapcolours.h"
#include "memorymaptext.h"

namespace {

constexpr double LineHeight = 17;  // summary, legend and table rows
constexpr double TitleHeight = 38; // the title; the summary's lines follow
constexpr double MarkHeight = 10;  // name field marks above the bar
constexpr double BarHeight = 44;
constexpr double LabelHeight = 44;     // addresses and the flash's limit under the bar
constexpr double CharacterWidth = 7.5; // about, for the 12-pixel font: whether a name fits its piece
constexpr double BlockGap = 28;
const double TableColumns[] = {20, 360, 470, 580, 660};

QString number(double value)
{
    return QString::number(value, 'f', 2);
}

class SvgBlock {
public:
    SvgBlock(QXmlStreamWriter &xml, const MemoryMap &map) : m_xml(xml), m_map(map) {}

    static int legendRows(const MemoryMap &map)
    {
        const bool overlaps =
            std::any_of(map.regions.cbegin(), map.regions.cend(), [](const MemoryRegion &region) {
                return region.kind == MemoryRegion::Kind::Overlap;
            });
        return int(map.pieces.size()) + (overlaps ? 1 : 0);
    }

    // From the top of the title to below the table's last row.
    static double height(const MemoryMap &map)
    {
        return TitleHeight + MemoryMapText::summaryLines(map).size() * LineHeight + MarkHeight + BarHeight +
               LabelHeight + legendRows(map) * LineHeight + 6 + (map.regions.size() + 1) * LineHeight;
    }

    // Writes the block with its top at `top`.
    void write(double top)
    {
        m_xml.writeStartElement(QStringLiteral("g"));
        m_xml.writeAttribute(QStringLiteral("class"), QStringLiteral("map"));
        text(MemoryMapSvg::BarLeft, top + 18, m_map.title, QStringLiteral("title"));
        double y = top + TitleHeight;
        for (const QString &line : MemoryMapText::summaryLines(m_map)) {
            text(MemoryMapSvg::BarLeft, y, line, QStringLiteral("summary"));
            y += LineHeight;
        }
        const double barTop = y + MarkHeight;
        writeBar(barTop);
        y = writeLegend(barTop + BarHeight + LabelHeight);
        writeTable(y + 6);
        m_xml.writeEndElement();
    }

private:
    double x(quint64 address) const
    {
        return MemoryMapSvg::BarLeft + m_map.fraction(address) * MemoryMapSvg::BarWidth;
    }

    void text(double left, double baseline, const QString &content, const QString &cssClass,
              const QString &anchor = QString())
    {
        m_xml.writeStartElement(QStringLiteral("text"));
        m_xml.writeAttribute(QStringLiteral("class"), cssClass);
        m_xml.writeAttribute(QStringLiteral("x"), number(left));
        m_xml.writeAttribute(QStringLiteral("y"), number(baseline));
        if (!anchor.isEmpty())
            m_xml.writeAttribute(QStringLiteral("text-anchor"), anchor);
        m_xml.writeCharacters(content);
        m_xml.writeEndElement();
    }

    void rect(const QString &cssClass, double left, double top, double width, double height,
              const QString &fill, const MemoryRegion *region)
    {
        m_xml.writeStartElement(QStringLiteral("rect"));
        m_xml.writeAttribute(QStringLiteral("class"), cssClass);
        m_xml.writeAttribute(QStringLiteral("x"), number(left));
        m_xml.writeAttribute(QStringLiteral("y"), number(top));
        m_xml.writeAttribute(QStringLiteral("width"), number(width));
        m_xml.writeAttribute(QStringLiteral("height"), number(height));
        m_xml.writeAttribute(QStringLiteral("fill"), fill);
        if (region) {
            m_xml.writeAttribute(QStringLiteral("data-start"), HexText::address(region->start));
            m_xml.writeAttribute(QStringLiteral("data-end"), HexText::address(region->end));
            m_xml.writeTextElement(QStringLiteral("title"), MemoryMapText::rangeText(m_map, *region));
        }
        m_xml.writeEndElement();
    }

    void regionRect(const MemoryRegion &region, const QString &cssClass, double top, double height,
                    const QString &fill)
    {
        const double exact = x(region.end) - x(region.start);
        const double least = region.kind == MemoryRegion::Kind::NameField ? MemoryMapSvg::MinimumMarkWidth
                                                                          : MemoryMapSvg::MinimumRegionWidth;
        rect(cssClass, x(region.start), top, qMax(exact, least), height, fill, &region);
    }

    // The piece's file name inside it, where it fits.
    void pieceLabel(const MemoryRegion &region, double barTop)
    {
        const QString name = MemoryMapText::regionName(m_map, region);
        const double width = x(region.end) - x(region.start);
        if (width < name.size() * CharacterWidth + 8)
            return;
        text((x(region.start) + x(region.end)) / 2, barTop + BarHeight / 2 + 4, name,
             QStringLiteral("piece-name"), QStringLiteral("middle"));
    }

    void limit(quint64 address, double barTop, const QString &label)
    {
        const double at = x(address);
        m_xml.writeStartElement(QStringLiteral("line"));
        m_xml.writeAttribute(QStringLiteral("class"), QStringLiteral("flash-limit"));
        m_xml.writeAttribute(QStringLiteral("x1"), number(at));
        m_xml.writeAttribute(QStringLiteral("x2"), number(at));
        m_xml.writeAttribute(QStringLiteral("y1"), number(barTop - MarkHeight));
        m_xml.writeAttribute(QStringLiteral("y2"), number(barTop + BarHeight + 6));
        m_xml.writeAttribute(QStringLiteral("stroke"), MapColours::ink());
        m_xml.writeAttribute(QStringLiteral("stroke-width"), QStringLiteral("2"));
        m_xml.writeAttribute(QStringLiteral("stroke-dasharray"), QStringLiteral("5 3"));
        m_xml.writeEndElement();
        const bool nearRight = at > MemoryMapSvg::BarLeft + MemoryMapSvg::BarWidth * 0.8;
        text(at + (nearRight ? -4 : 4), barTop + BarHeight + 34, label, QStringLiteral("flash-label"),
             nearRight ? QStringLiteral("end") : QString());
    }

    void writeBar(double barTop)
    {
        m_xml.writeStartElement(QStringLiteral("g"));
        m_xml.writeAttribute(QStringLiteral("class"), QStringLiteral("bar"));
        m_xml.writeAttribute(QStringLiteral("data-left"), number(MemoryMapSvg::BarLeft));
        m_xml.writeAttribute(QStringLiteral("data-width"), number(MemoryMapSvg::BarWidth));
        m_xml.writeAttribute(QStringLiteral("data-view-start"), HexText::address(m_map.viewStart()));
        m_xml.writeAttribute(QStringLiteral("data-view-end"), HexText::address(m_map.viewEnd()));
        rect(QStringLiteral("frame"), MemoryMapSvg::BarLeft, barTop, MemoryMapSvg::BarWidth, BarHeight,
             MapColours::freeFlash(), nullptr);
        // Gaps first, the pieces over them, the overlaps over the pieces, the name fields on top.
        for (const MemoryRegion::Kind kind : {MemoryRegion::Kind::Gap, MemoryRegion::Kind::Piece,
                                              MemoryRegion::Kind::Overlap, MemoryRegion::Kind::NameField}) {
            for (const MemoryRegion &region : m_map.regions) {
                if (region.kind != kind || region.size() == 0)
                    continue;
                switch (kind) {
                case MemoryRegion::Kind::Gap:
                    regionRect(region, QStringLiteral("gap"), barTop, BarHeight, MapColours::gap());
                    break;
                case MemoryRegion::Kind::Piece:
                    regionRect(region, QStringLiteral("piece"), barTop, BarHeight,
                               MapColours::piece(region.pieces.value(0)));
                    pieceLabel(region, barTop);
                    break;
                case MemoryRegion::Kind::Overlap:
                    regionRect(region, QStringLiteral("overlap"), barTop, BarHeight, MapColours::overlap());
                    break;
                case MemoryRegion::Kind::NameField:
                    regionRect(region, QStringLiteral("name-field"), barTop - MarkHeight, MarkHeight,
                               MapColours::ink());
                    break;
                }
            }
        }
        writeBeyondFlash(barTop);
        rect(QStringLiteral("outline"), MemoryMapSvg::BarLeft, barTop, MemoryMapSvg::BarWidth, BarHeight,
             QStringLiteral("none"), nullptr);
        if (m_map.flash) {
            limit(m_map.flash->end(), barTop,
                  QStringLiteral("конец флеш-памяти ") + HexText::address(m_map.flash->end()));
            if (m_map.flash->base > m_map.viewStart())
                limit(m_map.flash->base, barTop, QStringLiteral("начало флеш-памяти"));
        }
        text(MemoryMapSvg::BarLeft, barTop + BarHeight + 18, HexText::address(m_map.viewStart()),
             QStringLiteral("address"));
        if (!m_map.flash || m_map.viewEnd() != m_map.flash->end())
            text(MemoryMapSvg::BarLeft + MemoryMapSvg::BarWidth, barTop + BarHeight + 18,
                 HexText::address(m_map.viewEnd()), QStringLiteral("address"), QStringLiteral("end"));
        m_xml.writeEndElement();
    }

    // What lies outside the flash is hatched over.
    void writeBeyondFlash(double barTop)
    {
        if (!m_map.flash || m_map.overflow() == 0)
            return;
        const auto hatch = [&](quint64 from, quint64 to) {
            if (from >= to)
                return;
            rect(QStringLiteral("beyond-flash"), x(from), barTop,
                 qMax(x(to) - x(from), MemoryMapSvg::MinimumRegionWidth), BarHeight,
                 QStringLiteral("url(#beyond-flash)"), nullptr);
        };
        hatch(qMax(m_map.start, m_map.flash->end()), m_map.end);
        hatch(m_map.start, qMin(m_map.end, m_map.flash->base));
    }

    double writeLegend(double y)
    {
        const auto entry = [&](const QString &fill, const QString &label) {
            rect(QStringLiteral("swatch"), MemoryMapSvg::BarLeft, y - 11, 12, 12, fill, nullptr);
            text(MemoryMapSvg::BarLeft + 18, y, label, QStringLiteral("legend"));
            y += LineHeight;
        };
        for (int piece = 0; piece < m_map.pieces.size(); ++piece)
            entry(MapColours::piece(piece), m_map.pieces.at(piece).path);
        if (legendRows(m_map) > m_map.pieces.size())
            entry(MapColours::overlap(), QStringLiteral("пересечение"));
        return y;
    }

    void writeTable(double y)
    {
        const auto writeRow = [&](const QStringList &cells, const QString &cssClass) {
            for (qsizetype column = 0; column < cells.size(); ++column)
                text(TableColumns[column], y, cells.at(column), cssClass);
            y += LineHeight;
        };
        writeRow(MemoryMapText::columns(), QStringLiteral("table-head"));
        for (const MemoryRegion &region : m_map.regions)
            writeRow(MemoryMapText::row(m_map, region), QStringLiteral("table"));
    }

    QXmlStreamWriter &m_xml;
    const MemoryMap &m_map;
};

} // namespace

namespace MemoryMapSvg {

QByteArray picture(const QList<MemoryMap> &maps)
{
    double height = BlockGap;
    for (const MemoryMap &map : maps)
        height += SvgBlock::height(map) + BlockGap;

    QByteArray svg;
    QXmlStreamWriter xml(&svg);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeAttribute(QStringLiteral("width"), number(PictureWidth));
    xml.writeAttribute(QStringLiteral("height"), number(height));
    xml.writeAttribute(QStringLiteral("viewBox"),
                       QStringLiteral("0 0 %1 %2").arg(number(PictureWidth), number(height)));
    xml.writeAttribute(QStringLiteral("font-family"), QStringLiteral("DejaVu Sans, Arial, sans-serif"));
    xml.writeAttribute(QStringLiteral("font-size"), QStringLiteral("12"));
    xml.writeTextElement(
        QStringLiteral("style"),
        QStringLiteral(".title{font-size:15px;font-weight:bold} .table-head{font-weight:bold} "
                       ".gap,.frame{stroke:%1;stroke-width:0.5} .outline{stroke:%1} "
                       ".swatch{stroke:%1}")
            .arg(MapColours::outline()));
    xml.writeStartElement(QStringLiteral("defs"));
    xml.writeStartElement(QStringLiteral("pattern"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("beyond-flash"));
    xml.writeAttribute(QStringLiteral("width"), QStringLiteral("8"));
    xml.writeAttribute(QStringLiteral("height"), QStringLiteral("8"));
    xml.writeAttribute(QStringLiteral("patternUnits"), QStringLiteral("userSpaceOnUse"));
    xml.writeStartElement(QStringLiteral("path"));
    xml.writeAttribute(QStringLiteral("d"), QStringLiteral("M0,8 L8,0"));
    xml.writeAttribute(QStringLiteral("stroke"), MapColours::beyondFlash());
    xml.writeAttribute(QStringLiteral("stroke-width"), QStringLiteral("2"));
    xml.writeEndElement(); // path
    xml.writeEndElement(); // pattern
    xml.writeEndElement(); // defs
    double top = BlockGap;
    for (const MemoryMap &map : maps) {
        SvgBlock(xml, map).write(top);
        top += SvgBlock::height(map) + BlockGap;
    }
    xml.writeEndElement(); // svg
    xml.writeEndDocument();
    return svg;
}

} // namespace MemoryMapSvg
