#include "hextext.h"

namespace HexText {

QString digits(quint64 value, int width)
{
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

QString number(quint64 value, int width)
{
    return QStringLiteral("0x") + digits(value, width);
}

QString address(quint64 value)
{
    return number(value, 8);
}

} // namespace HexText
