#pragma once

#include <QDir>
#include <QString>

#include "common/hextext.h"
#include "common/imagelimits.h"
#include "common/inputfile.h"
#include "hex/hexdiagnostic.h"

// Texts shared by the assemblers and their callers.
namespace AssemblyText {
inline QString finished()
{
    return QStringLiteral("Сборка завершена");
}
inline QString noOutputDirectory()
{
    return QStringLiteral("Нечего собирать: не выбран путь записи out-file.");
}
inline QString cannotOpen(const QString &path)
{
    return QStringLiteral("Не удалось открыть файл по пути: ") + path;
}
inline QString readFailed(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось прочитать файл по пути: %1 (%2)").arg(path, reason);
}
// The path of an output, which the program composed: with the system's separators.
inline QString writeFailed(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось записать файл по пути: %1 (%2)")
        .arg(QDir::toNativeSeparators(path), reason);
}
inline QString tooLarge(const QString &path)
{
    return QStringLiteral("%1: %2").arg(path, inputTooLargeText());
}
// A piece whose end lies past the largest image.
inline QString pastLargestImage(const QString &path, qint64 offset, qint64 size)
{
    return QStringLiteral("Файл %1 (%2 байт) со смещения %3 заканчивается за %4 МиБ: образы больше %4 МиБ не "
                          "собираются.")
        .arg(path)
        .arg(size)
        .arg(HexText::number(offset))
        .arg(LargestImageSize >> 20);
}
// A piece that would put nothing into the image: an empty file, records without data.
inline QString emptyPiece(const QString &path)
{
    return QStringLiteral("Файл %1 пуст: в образ нечего положить, образ не собран.").arg(path);
}
inline QString holdsNoData(const QString &path)
{
    return QStringLiteral("В файле %1 нет данных: в образ нечего положить, образ не собран.").arg(path);
}
// A malformed Intel HEX input, with the line where there is one.
inline QString hexError(const QString &path, const HexDiagnostic &diagnostic)
{
    if (diagnostic.line > 0)
        return QStringLiteral("Ошибка в файле %1, строка %2: %3")
            .arg(path)
            .arg(diagnostic.line)
            .arg(diagnostic.message);
    return QStringLiteral("Ошибка в файле %1: %2").arg(path, diagnostic.message);
}
// Why an input named by the user cannot be taken, after InputFile::open() or a read failed.
inline QString inputProblem(const QString &path, const InputFile &input)
{
    switch (input.problem()) {
    case InputFile::Problem::Device:
        return cannotOpen(path) + QStringLiteral(" (это устройство, а не файл: устройства не читаются)");
    case InputFile::Problem::CannotRead:
        return readFailed(path, input.systemError());
    case InputFile::Problem::TooLarge:
        return tooLarge(path);
    case InputFile::Problem::None:
    case InputFile::Problem::Missing:
    case InputFile::Problem::Directory:
    case InputFile::Problem::CannotOpen:
        break;
    }
    return cannotOpen(path);
}
} // namespace AssemblyText
