#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

// Small real files for the assembly tests.
namespace TestFiles {

// Bytes that differ from their neighbours and from zero, so a misplaced or missing byte shows.
inline QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(((i * 7 + seed * 31) % 251) + 1);
    return bytes;
}

inline QString write(const QString &dir, const QString &name, const QByteArray &contents)
{
    const QString path = dir + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write test file %s", qPrintable(path));
    return path;
}

inline QByteArray read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The expected image: zeros with each piece copied in at its offset.
inline QByteArray layout(std::initializer_list<std::pair<qint64, QByteArray>> pieces)
{
    QByteArray image;
    for (const auto &[offset, bytes] : pieces) {
        if (image.size() < offset + bytes.size())
            image.resize(offset + bytes.size(), '\0');
        image.replace(offset, bytes.size(), bytes);
    }
    return image;
}

// A binary piece carrying a name field at the given offset.
inline QByteArray withField(QByteArray bytes, qint64 offset, const QByteArray &field)
{
    bytes.replace(offset, field.size(), field);
    return bytes;
}

// A NUL-padded name field of the given size.
inline QByteArray nameField(const QByteArray &text, int size)
{
    QByteArray field = text;
    field.resize(size, '\0');
    return field;
}

} // namespace TestFiles
