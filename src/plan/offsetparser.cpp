#include "offsetparser.h"

#include "hexnumber.h"

std::optional<qint64> parseOffset(const QString &text)
{
    if (text.trimmed().isEmpty())
        return 0;
    const std::optional<quint64> value = HexNumber::parse(text, MaximumOffset);
    if (!value)
        return std::nullopt;
    return qint64(*value);
}

QString invalidOffsetMessage(const QString &fieldName, const QString &text)
{
    return QStringLiteral("Некорректное смещение в поле \"%1\": \"%2\". Ожидается шестнадцатеричное число "
                          "от 0 до 7FFFFFFF, например 8000 или 0x8000.")
        .arg(fieldName, text);
}
