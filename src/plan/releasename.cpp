#include "releasename.h"

#include <algorithm>

#include <QList>
#include <QStringDecoder>
#include <QStringList>

#include "hextext.h"

namespace {

bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}

// Bytes are compared as signed, as the name fields are C strings: a byte with its high bit set does
// not count as text before a NUL.
bool isTextByte(char byte)
{
    return static_cast<signed char>(byte) > 0;
}

QString textOf(QByteArray bytes)
{
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}

} // namespace

ReleaseNameFields parseReleaseNameFields(const QByteArray &loraMacField, const QByteArray &firmwareField)
{
    ReleaseNameFields fields;

    // Walking back from the end: cut at each NUL that follows text, and split at the last place
    // where a digit or '.' is followed by a non-digit: the version before it, the region behind.
    QByteArray name = loraMacField;
    for (qsizetype i = name.size() - 1; i >= 1; --i) {
        const char before = name.at(i - 1);
        const char at = name.at(i);
        if (isTextByte(before) && at == '\0') {
            name.truncate(i);
        } else if ((before == '.' || isDigit(before)) && !isDigit(at)) {
            fields.version = textOf(name.left(i));
            fields.hasVersion = true;
            name = name.mid(i);
            break;
        }
    }
    fields.region = textOf(name);

    QByteArray firmware = firmwareField;
    for (qsizetype i = firmware.size() - 1; i >= 1; --i) {
        if (isTextByte(firmware.at(i - 1)) && firmware.at(i) == '\0') {
            firmware.truncate(i);
            break;
        }
    }
    fields.firmware = textOf(firmware);
    return fields;
}

QByteArray nameFieldText(const QByteArray &field)
{
    const qsizetype end = field.indexOf('\0');
    return end < 0 ? field : field.left(end);
}

namespace {

// The name as valid UTF-8 text of printable characters (blanks included).
bool isPrintableText(const QByteArray &name)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(name);
    if (decoder.hasError())
        return false;
    const QList<uint> characters = text.toUcs4();
    return std::all_of(characters.cbegin(), characters.cend(), [](uint c) { return QChar::isPrint(c); });
}

QString byteList(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("нет");
    QStringList digits;
    for (const char byte : bytes)
        digits << HexText::digits(quint8(byte), 2);
    return digits.join(QLatin1Char(' '));
}

} // namespace

QString nameFieldProblem(const QString &path, qint64 offset, const QByteArray &field, qint64 fieldSize)
{
    QString reason;
    const QByteArray name = nameFieldText(field);
    // A field cut short by the end of its file holds a name all the same when its bytes do.
    if (field.isEmpty())
        reason = QStringLiteral("поле длиной %1 байт начинается за концом файла").arg(fieldSize);
    else if (field.count('\xFF') == field.size())
        reason = QStringLiteral("поле стерто (все байты FF)");
    else if (field.count('\0') == field.size())
        reason = QStringLiteral("поле пустое (все байты 00)");
    else if (name.isEmpty())
        reason = QStringLiteral("имя пустое (первый байт 00)");
    else if (!isPrintableText(name))
        reason = QStringLiteral("в имени есть байты, которые не являются печатаемым текстом");
    else
        return QString();
    if (!field.isEmpty() && field.size() < fieldSize)
        reason += QStringLiteral(" (поле длиной %1 байт обрезано концом файла)").arg(fieldSize);
    return QStringLiteral("Поле имени в файле %1 по смещению %2 не содержит имени: %3. Найденные байты: %4.")
        .arg(path, HexText::number(quint64(offset)), reason, byteList(field));
}

bool templateUsesLoRaMacField(const QString &nameTemplate)
{
    return nameTemplate.contains(QLatin1String("lora"), Qt::CaseInsensitive) ||
           nameTemplate.contains(QLatin1String("region"), Qt::CaseInsensitive);
}

bool templateUsesFirmwareField(const QString &nameTemplate)
{
    return nameTemplate.contains(QLatin1String("fw"), Qt::CaseInsensitive);
}

QString fillReleaseTemplate(const QString &nameTemplate, const ReleaseNameFields &fields)
{
    // What is read out of the pieces never names a folder; the template may (2024/region_lora_fw).
    QString name = nameTemplate;
    if (fields.hasVersion)
        name.replace(QLatin1String("lora"), sanitizeFileName(fields.version), Qt::CaseInsensitive);
    name.replace(QLatin1String("region"), sanitizeFileName(fields.region), Qt::CaseInsensitive);
    name.replace(QLatin1String("fw"), sanitizeFileName(fields.firmware), Qt::CaseInsensitive);
    name.remove(QLatin1String("kimo "), Qt::CaseInsensitive);
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    return sanitizeFileName(name, KeepFolders::Yes);
}

QString sanitizeFileName(const QString &name, KeepFolders keepFolders)
{
    static const QString forbidden = QStringLiteral("<>:\"|?*");
    const auto isSeparator = [](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char('\\');
    };
    QString safe = name;
    for (QChar &c : safe) {
        // Other_Control covers both the C0 and the C1 control characters and DEL.
        if (c.category() == QChar::Other_Control || forbidden.contains(c) ||
            (isSeparator(c) && keepFolders == KeepFolders::No))
            c = QLatin1Char('_');
    }
    return safe;
}
