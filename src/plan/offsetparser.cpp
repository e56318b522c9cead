#include "offsetparser.h"

std::optional<qint64> parseOffset(const QString &text)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    else if (digits.isEmpty())
        return 0;
    // "0x" alone and signs are not offsets; toLongLong would accept a leading '+' or '-'.
    if (digits.isEmpty() || digits.size() > 16)
        return std::nullopt;
    for (const QChar c : digits) {
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return std::nullopt;
    }
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok, 16);
    if (!ok || value > qulonglong(MaximumOffset))
        return std::nullopt;
    return qint64(value);
}

QString invalidOffsetMessage(const QString &fieldName, const QString &text)
{
    return QStringLiteral("Некорректное смещение в поле \"%1\": \"%2\". Ожидается шестнадцатеричное число "
                          "от 0 до 7FFFFFFF, например 8000 или 0x8000.")
        .arg(fieldName, text);
}
