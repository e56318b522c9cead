#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "intelhexrecord.h"

namespace TestFiles {

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(((i * 7 + seed * 31) % 251) + 1);
    return bytes;
}

QString write(const QString &dir, const QString &name, const QByteArray &contents)
{
    const QString path = dir + QLatin1Char('/') + name;
    if (!writeFile(path, contents))
        qFatal("cannot write test file %s", qPrintable(path));
    return path;
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QByteArray read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QMap<QString, QByteArray> imagesIn(const QString &dir)
{
    QMap<QString, QByteArray> images;
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &name : names) {
        if (!name.endsWith(QLatin1String(".manifest.json")))
            images.insert(name, read(dir + QLatin1Char('/') + name));
    }
    return images;
}

QString imageDifference(const QMap<QString, QByteArray> &actual, const QMap<QString, QByteArray> &expected)
{
    if (actual.keys() != expected.keys())
        return QStringLiteral("images %1, expected %2")
            .arg(actual.keys().join(QLatin1Char(' ')), expected.keys().join(QLatin1Char(' ')));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QByteArray &bytes = actual.value(it.key());
        if (bytes == it.value())
            continue;
        qsizetype at = 0;
        while (at < bytes.size() && at < it.value().size() && bytes.at(at) == it.value().at(at))
            ++at;
        return QStringLiteral("%1: %2 bytes, expected %3, first difference at 0x%4")
            .arg(it.key())
            .arg(bytes.size())
            .arg(it.value().size())
            .arg(QString::number(at, 16));
    }
    return {};
}

QByteArray layout(std::initializer_list<std::pair<qint64, QByteArray>> pieces)
{
    QByteArray image;
    for (const auto &[offset, bytes] : pieces) {
        if (image.size() < offset + bytes.size())
            image.resize(offset + bytes.size(), '\0');
        image.replace(offset, bytes.size(), bytes);
    }
    return image;
}

QByteArray withField(QByteArray bytes, qint64 offset, const QByteArray &field)
{
    bytes.replace(offset, field.size(), field);
    return bytes;
}

QByteArray nameField(const QByteArray &text, int size)
{
    QByteArray field = text;
    field.resize(size, '\0');
    return field;
}

void appendRecordLine(QByteArray &out, IntelHexRecordType type, quint16 address, QByteArrayView data)
{
    const qsizetype start = out.size();
    out.resize(start + recordLineLength(data.size()));
    formatRecordLine(out.data() + start, type, address, data.data(), data.size());
}

QByteArray intelHexText(quint16 address, const QByteArray &bytes)
{
    QByteArray text;
    for (int at = 0; at < bytes.size(); at += 16)
        appendRecordLine(text, IntelHexRecordType::Data, static_cast<quint16>(address + at),
                         bytes.mid(at, 16));
    appendRecordLine(text, IntelHexRecordType::EndOfFile, 0, {});
    return text;
}

} // namespace TestFiles
