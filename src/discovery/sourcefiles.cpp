#include "sourcefiles.h"

#include <QFile>
#include <QFileInfo>

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
    return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly) && isIntelHexDevice(file);
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
