#include "hexnumber.h"

#include <QString>

namespace {

QStringView withoutPrefix(QStringView text)
{
    text = text.trimmed();
    return text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
}

// -1 for anything but 0-9, a-f and A-F (other scripts' digits included).
int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

namespace HexNumber {

std::optional<quint64> parse(QStringView text, quint64 largest)
{
    const QStringView digits = withoutPrefix(text);
    if (digits.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (const QChar c : digits) {
        const int digit = digitValue(c);
        // value * 16 + digit <= largest, asked without overflowing.
        if (digit < 0 || quint64(digit) > largest || value > (largest - quint64(digit)) / 16)
            return std::nullopt;
        value = value * 16 + quint64(digit);
    }
    return value;
}

bool isUnfinished(QStringView text)
{
    return withoutPrefix(text).isEmpty();
}

} // namespace HexNumber
