#include "flashtarget.h"

#include <QRegularExpression>

#include "hexnumber.h"
#include "hextext.h"

namespace {

constexpr quint64 KiB = 1024;
constexpr quint64 MiB = 1024 * KiB;

} // namespace

namespace FlashSize {

QList<quint64> common()
{
    return {64 * KiB, 128 * KiB, 192 * KiB, 256 * KiB, 512 * KiB, 1 * MiB, 2 * MiB};
}

QString caption(quint64 size)
{
    if (size >= MiB && size % MiB == 0)
        return QStringLiteral("%1 MiB").arg(size / MiB);
    if (size >= KiB && size % KiB == 0)
        return QStringLiteral("%1 KiB").arg(size / KiB);
    return HexText::number(size);
}

QString text(quint64 size)
{
    return HexText::number(size);
}

std::optional<quint64> parse(const QString &typed)
{
    static const QRegularExpression withUnit(QStringLiteral("^\\s*(\\d{1,7})\\s*([KkMm])(?:i?[Bb])?\\s*$"));
    std::optional<quint64> size;
    const QRegularExpressionMatch match = withUnit.match(typed);
    if (match.hasMatch()) {
        const quint64 unit =
            match.captured(2).compare(QLatin1String("k"), Qt::CaseInsensitive) == 0 ? KiB : MiB;
        size = match.captured(1).toULongLong() * unit;
    } else {
        size = HexNumber::parse(typed, AddressSpaceEnd);
    }
    if (!size || *size == 0 || *size > AddressSpaceEnd)
        return std::nullopt;
    return size;
}

} // namespace FlashSize

namespace FlashBase {

std::optional<quint64> parse(const QString &text)
{
    if (text.trimmed().isEmpty())
        return DefaultFlashBase;
    return HexNumber::parse(text, AddressSpaceEnd - 1);
}

} // namespace FlashBase
