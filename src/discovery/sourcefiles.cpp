#include "sourcefiles.h"

#include <algorithm>

#include <QDirIterator>
#include <QFile>

#include "reporter.h"

namespace {
constexpr int SniffedLines = 20;
}

bool isIntelHexDevice(QIODevice &device)
{
    for (int line = 0; line < SniffedLines; ++line) {
        char first = 0;
        if (!device.getChar(&first))
            break; // end of input: the remaining reads would return nothing
        if (first != ':')
            return false;
        // Skip the rest of the line in pieces, so that a huge file without line breaks is not
        // read into memory as one line.
        char rest[4096];
        qint64 got = 0;
        do {
            got = device.readLine(rest, sizeof rest);
        } while (got > 0 && rest[got - 1] != '\n');
    }
    return true;
}

bool isIntelHexFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && isIntelHexDevice(file);
}

namespace SourceText {

QString intelHexLeftOut(const QString &path)
{
    return QStringLiteral("Файл ") + path +
           QStringLiteral(", является IntelHEX фалом и не будет добавлен в очередь.");
}

QString wrongFormatTitle()
{
    return QStringLiteral("Не верный формат!");
}

QString isIntelHex(const QString &path)
{
    return path + QStringLiteral(" явлеяется IntelHEX файлом.");
}

QString isNotIntelHex(const QString &path)
{
    return path + QStringLiteral(" не явлеяется IntelHEX файлом");
}

} // namespace SourceText

QStringList listSourceFiles(const QString &directory, const QString &nameFilter)
{
    // An empty path would mean the working directory to QDir; it means "nothing chosen" here.
    if (directory.isEmpty())
        return {};
    QStringList found;
    QDirIterator it(directory, {nameFilter}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    // The directory's own order differs between file systems, and the first file is the bootloader
    // taken: list by file name (letter case aside first, so that Windows and Linux agree), then by
    // the folder for files of one name.
    const auto fileName = [](const QString &path) {
        return QStringView(path).mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    };
    std::sort(found.begin(), found.end(), [&fileName](const QString &a, const QString &b) {
        for (const Qt::CaseSensitivity cs : {Qt::CaseInsensitive, Qt::CaseSensitive}) {
            if (const int order = fileName(a).compare(fileName(b), cs))
                return order < 0;
        }
        return a < b;
    });
    return found;
}

QList<ScannedSourceFile> scanLoRaSource(const QString &directory, const QString &nameFilter,
                                        Reporter &reporter)
{
    const bool hexWanted = nameFilter.contains(QStringLiteral(".hex"));
    QList<ScannedSourceFile> files;
    for (const QString &path : listSourceFiles(directory, nameFilter)) {
        const bool rejected = !path.isEmpty() && hexWanted && isIntelHexFile(path);
        if (rejected) {
            reporter.message(MessageKind::Warning, ReportTitle::warning(), SourceText::intelHexLeftOut(path));
        }
        files.append({path, !rejected});
    }
    return files;
}
