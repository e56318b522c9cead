#include "memorymaptext.h"

#include <algorithm>

#include "assemblymessages.h"
#include "hextext.h"
#include "releasename.h"

namespace {

QString joinNames(QStringList names)
{
    if (names.size() <= 1)
        return names.value(0);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" и ") + last;
}

// The text of a name field up to its first zero byte, shown as text when it is printable and as
// hexadecimal bytes when it is not.
QString fieldText(const QByteArray &bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    const QByteArray text = zero < 0 ? bytes : bytes.left(zero);
    if (text.isEmpty())
        return bytes.isEmpty() ? QString() : QStringLiteral("пусто");
    const bool printable =
        std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (printable)
        return QStringLiteral("«%1»").arg(QString::fromLatin1(text));
    return QStringLiteral("байты %1").arg(QString::fromLatin1(text.toHex(' ').toUpper()));
}

qint64 nominalFieldSize(MemoryRegion::Field field)
{
    return field == MemoryRegion::Field::LoRaMac ? LoRaMacNameFieldSize : FirmwareNameFieldSize;
}

QString fieldNote(const MemoryRegion &region)
{
    QStringList parts;
    const QString text = fieldText(region.fieldBytes);
    if (!text.isEmpty())
        parts << text;
    if (region.field == MemoryRegion::Field::LoRaMac && !region.fieldBytes.isEmpty()) {
        const ReleaseNameFields fields = parseReleaseNameFields(region.fieldBytes, QByteArray());
        if (fields.hasVersion)
            parts << QStringLiteral("версия %1, регион %2").arg(fields.version, fields.region);
    }
    if (region.fieldBytes.size() < nominalFieldSize(region.field))
        parts << QStringLiteral("поле выходит за конец файла");
    return parts.join(QStringLiteral(": "));
}

QString percent(quint64 part, quint64 whole)
{
    return QString::number(whole == 0 ? 0.0 : 100.0 * double(part) / double(whole), 'f', 1);
}

} // namespace

namespace MemoryMapText {

QStringList columns()
{
    return {QStringLiteral("Область"), QStringLiteral("Начало"), QStringLiteral("Конец"),
            QStringLiteral("Размер"), QStringLiteral("Примечание")};
}

QString regionName(const MemoryMap &map, const MemoryRegion &region)
{
    switch (region.kind) {
    case MemoryRegion::Kind::Gap:
        return QStringLiteral("пусто");
    case MemoryRegion::Kind::Piece:
        return map.pieces.value(region.pieces.value(0)).name;
    case MemoryRegion::Kind::Overlap: {
        QStringList names;
        for (const int piece : region.pieces)
            names << map.pieces.value(piece).name;
        return QStringLiteral("пересечение: ") + joinNames(names);
    }
    case MemoryRegion::Kind::NameField:
        return region.field == MemoryRegion::Field::LoRaMac ? QStringLiteral("поле версии и региона")
                                                            : QStringLiteral("поле имени прошивки");
    }
    return QString();
}

QString regionNote(const MemoryMap &map, const MemoryRegion &region)
{
    QStringList notes;
    switch (region.kind) {
    case MemoryRegion::Kind::Gap:
        notes << (map.addressed ? QStringLiteral("нет данных") : QStringLiteral("нулевые байты"));
        break;
    case MemoryRegion::Kind::Piece:
        if (region.size() == 0)
            notes << QStringLiteral("пустой файл");
        break;
    case MemoryRegion::Kind::Overlap:
        notes << (region.sameBytes ? QStringLiteral("данные совпадают, сборка их объединит")
                                   : QStringLiteral("сборка откажет"));
        break;
    case MemoryRegion::Kind::NameField:
        notes << fieldNote(region);
        break;
    }
    if (region.beyondFlash)
        notes << QStringLiteral("за пределами флеш-памяти");
    notes.removeAll(QString());
    return notes.join(QStringLiteral("; "));
}

QStringList row(const MemoryMap &map, const MemoryRegion &region)
{
    const bool empty = region.size() == 0;
    return {regionName(map, region), HexText::address(region.start),
            empty ? QStringLiteral("-") : HexText::address(region.end - 1), QString::number(region.size()),
            regionNote(map, region)};
}

QString rangeText(const MemoryMap &map, const MemoryRegion &region)
{
    const QStringList cells = row(map, region);
    QString text =
        QStringLiteral("%1: %2-%3 (%4 байт)").arg(cells.at(0), cells.at(1), cells.at(2), cells.at(3));
    if (!cells.at(4).isEmpty())
        text += QStringLiteral("\n") + cells.at(4);
    return text;
}

QString tabSeparatedTable(const MemoryMap &map)
{
    QString text = columns().join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const MemoryRegion &region : map.regions)
        text += row(map, region).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

QString alignedTable(const MemoryMap &map)
{
    QList<QStringList> rows{columns()};
    for (const MemoryRegion &region : map.regions)
        rows << row(map, region);
    QList<qsizetype> widths(columns().size(), 0);
    for (const QStringList &cells : rows) {
        for (qsizetype column = 0; column < cells.size(); ++column)
            widths[column] = qMax(widths[column], cells.at(column).size());
    }
    constexpr qsizetype SizeColumn = 3;
    QString text;
    for (const QStringList &cells : rows) {
        QString line;
        for (qsizetype column = 0; column < cells.size(); ++column) {
            const bool last = column == cells.size() - 1;
            const QString &cell = cells.at(column);
            if (column == SizeColumn)
                line += cell.rightJustified(widths[column]);
            else
                line += last ? cell : cell.leftJustified(widths[column]);
            if (!last)
                line += QStringLiteral("  ");
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    return text;
}

QChar pieceSymbol(int piece)
{
    static const QString symbols = QStringLiteral("123456789ABCDEFGHIJKLMNOPQRSTUVWYZ");
    return symbols.at(piece % symbols.size());
}

QString bar(const MemoryMap &map, int width)
{
    const quint64 from = map.viewStart();
    const quint64 to = map.viewEnd();
    const long double span = to > from ? (long double)(to - from) : 1.0L;
    QString cells;
    for (int cell = 0; cell < width; ++cell) {
        const quint64 cellStart = from + quint64(span * cell / width);
        const quint64 cellEnd = qMax(cellStart + 1, from + quint64(span * (cell + 1) / width));
        QChar symbol = cellStart < map.end && cellEnd > map.start ? QLatin1Char('.') : QLatin1Char(' ');
        quint64 widest = 0;
        for (const MemoryRegion &region : map.regions) {
            const quint64 shared = qMin(region.end, cellEnd) > qMax(region.start, cellStart)
                                       ? qMin(region.end, cellEnd) - qMax(region.start, cellStart)
                                       : 0;
            if (shared == 0)
                continue;
            if (region.kind == MemoryRegion::Kind::Overlap) {
                symbol = QLatin1Char('X');
                break;
            }
            if (region.kind == MemoryRegion::Kind::Piece && shared > widest) {
                widest = shared;
                symbol = pieceSymbol(region.pieces.value(0));
            }
        }
        cells += symbol;
    }
    // The flash's limits go between the cells, so that no cell is hidden by them.
    if (map.flash) {
        const int endAt = qBound(0, int(map.fraction(map.flash->end()) * width + 0.5), width);
        const int baseAt = qBound(0, int(map.fraction(map.flash->base) * width + 0.5), width);
        cells.insert(endAt, QLatin1Char('|'));
        if (map.flash->base > from)
            cells.insert(baseAt, QLatin1Char('|'));
    }
    return QLatin1Char('[') + cells + QLatin1Char(']');
}

QString legend(const MemoryMap &map)
{
    QString text;
    for (int piece = 0; piece < map.pieces.size(); ++piece)
        text += QStringLiteral("%1 %2\n").arg(pieceSymbol(piece)).arg(map.pieces.at(piece).path);
    QStringList symbols{QStringLiteral(". пусто"), QStringLiteral("X пересечение")};
    if (map.flash)
        symbols << QStringLiteral("| граница флеш-памяти");
    return text + symbols.join(QStringLiteral("   "));
}

QString summary(const MemoryMap &map)
{
    return summaryLines(map).join(QLatin1Char(' '));
}

QStringList summaryLines(const MemoryMap &map)
{
    QStringList sentences;
    if (map.end > map.start)
        sentences << QStringLiteral("%1 %2-%3, %4 байт.")
                         .arg(map.addressed ? QStringLiteral("Адреса") : QStringLiteral("Смещения"),
                              HexText::address(map.start), HexText::address(map.end - 1))
                         .arg(map.end - map.start);
    else
        sentences << QStringLiteral("Образ пуст.");
    if (map.flash) {
        if (map.overflow() > 0) {
            sentences << overflowLine(map);
        } else {
            const quint64 used = map.end > map.start ? map.end - map.flash->base : 0;
            sentences << QStringLiteral("Флеш-память %1: занято %2 байт (%3 %), свободно %4 байт.")
                             .arg(AssemblyText::flashText(*map.flash))
                             .arg(used)
                             .arg(percent(used, map.flash->size))
                             .arg(map.flash->size - used);
        }
    }
    if (map.hasRefusedOverlap())
        sentences << QStringLiteral("Файлы пересекаются: такой образ не будет собран.");
    return sentences;
}

QString overflowLine(const MemoryMap &map)
{
    if (!map.flash || map.overflow() == 0)
        return QString();
    return QStringLiteral("Не помещается во флеш-память %1: на %2 байт больше.")
        .arg(AssemblyText::flashText(*map.flash))
        .arg(map.overflow());
}

QString overflowMessage(const MemoryMap &map)
{
    if (!map.flash)
        return QString();
    return AssemblyText::doesNotFitFlash(map.title, *map.flash, map.overflow());
}

} // namespace MemoryMapText
