#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "flashtarget.h"
#include "hextext.h"
#include "imagelimits.h"
#include "inputfile.h"
#include "inputformat.h"
#include "problem.h"
#include "sourcefiles.h"

// Texts shared by the assemblers and their callers.
namespace AssemblyText {
inline QString finished()
{
    return QStringLiteral("Сборка завершена");
}
// What the window adds to finished(): the folder of the images written, then their names, at most
// ten and then how many more.
inline QString writtenFiles(const QStringList &paths)
{
    constexpr int listed = 10;
    if (paths.isEmpty())
        return QString();
    QString text = QStringLiteral("\n\nЗаписано в папку %1:")
                       .arg(QDir::toNativeSeparators(QFileInfo(paths.first()).absolutePath()));
    for (const QString &path : paths.first(qMin(listed, paths.size())))
        text += QLatin1Char('\n') + QFileInfo(path).fileName();
    if (paths.size() > listed)
        text += QStringLiteral("\nи еще файлов: %1").arg(paths.size() - listed);
    return text;
}
inline QString noOutputDirectory()
{
    return QStringLiteral("Нечего собирать: не выбран путь записи out-file.");
}
inline QString noFileTicked()
{
    return QStringLiteral("Нечего собирать: не отмечен ни один файл.");
}
// The output folder, as the system writes paths.
inline QString missingDirectory(const QString &dir)
{
    return QStringLiteral("Не найдена директория по пути: ") + QDir::toNativeSeparators(dir);
}
inline QString cannotOpenForWriting(const QString &dir)
{
    return QStringLiteral("Не удалось открыть файл для записи по пути: ") + QDir::toNativeSeparators(dir);
}
// Not shown: the user who cancelled knows.
inline QString cancelled()
{
    return QStringLiteral("Сборка отменена.");
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
inline QString hexError(const QString &path, const Problem &diagnostic)
{
    if (diagnostic.line > 0)
        return QStringLiteral("Ошибка в файле %1, строка %2: %3")
            .arg(path)
            .arg(diagnostic.line)
            .arg(diagnostic.message);
    return QStringLiteral("Ошибка в файле %1: %2").arg(path, diagnostic.message);
}
// "S-record", "ELF": a format with addresses as the messages name it.
inline QString formatWord(InputFormat format)
{
    return format == InputFormat::Elf ? QStringLiteral("ELF") : QStringLiteral("S-record");
}
// A file with records or an executable among the LoRa tab's sources: left out.
inline QString leftOut(const QString &path, InputFormat format)
{
    if (format == InputFormat::IntelHex)
        return SourceText::intelHexLeftOut(path);
    return QStringLiteral("Файл %1, является %2 файлом и не будет добавлен в очередь.")
        .arg(path, formatWord(format));
}
// The same as a piece of the Binary tab's image: refused.
inline QString isNotRawImage(const QString &path, InputFormat format)
{
    if (format == InputFormat::IntelHex)
        return SourceText::isIntelHex(path);
    return QStringLiteral("%1 является %2 файлом.").arg(path, formatWord(format));
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
// Two pieces of a LoRa image that share bytes, each with the bytes it would take.
inline QString loraOverlap(const QString &first, const QString &firstRange, const QString &second,
                           const QString &secondRange)
{
    return QStringLiteral("Некорректное смещение. Файл %1: %2. Файл %3: %4")
        .arg(first, firstRange, second, secondRange);
}
// The same on the Binary tab, as its messages always put it.
inline QString binaryOverlap(const QString &first, const QString &firstRange, const QString &second,
                             const QString &secondRange)
{
    return QStringLiteral("Некорректное смещение. Файл: %1 (%2). Файл: %3 (%4)")
        .arg(first, firstRange, second, secondRange);
}
// "256 KiB (0x08000000-0x0803FFFF)"
inline QString flashText(const FlashTarget &flash)
{
    return QStringLiteral("%1 (%2-%3)")
        .arg(FlashSize::caption(flash.size), HexText::address(flash.base), HexText::address(flash.end() - 1));
}
// The image that does not fit, its flash and the overflow in bytes, as one sentence.
inline QString doesNotFitFlash(const QString &title, const FlashTarget &flash, quint64 overflow)
{
    return QStringLiteral("Образ %1 не помещается во флеш-память %2: он больше на %3 байт.")
        .arg(title, flashText(flash))
        .arg(overflow);
}
} // namespace AssemblyText
