#include "outputname.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "hextext.h"

namespace {

bool isControl(QChar c)
{
    // Other_Control covers the C0 and C1 control characters and DEL.
    return c.category() == QChar::Other_Control;
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// "C:", "c:img": a path on a drive, wherever the output directory lies.
bool hasDriveLetter(const QString &name)
{
    return name.size() >= 2 && name.at(0).isLetter() && name.at(0).unicode() < 0x80 &&
           name.at(1) == QLatin1Char(':');
}

// The folders and the file a name holds; either separator divides them, as on Windows.
QStringList pathParts(const QString &name)
{
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i == name.size() || isSeparator(name.at(i))) {
            parts << name.mid(start, i - start);
            start = i + 1;
        }
    }
    return parts;
}

// The name as it can be shown in a message: control characters written as \xNN.
QString shown(const QString &name)
{
    QString text;
    for (const QChar c : name) {
        if (isControl(c))
            text += QStringLiteral("\\x") + HexText::digits(c.unicode(), 2);
        else
            text += c;
    }
    return text;
}

} // namespace

QString missingOutputNameText()
{
    return QStringLiteral("Не задано имя выходного файла.");
}

QString outputNameProblem(const QString &name)
{
    if (name.isEmpty())
        return missingOutputNameText();
    if (std::any_of(name.cbegin(), name.cend(), isControl))
        return QStringLiteral("Имя выходного файла «%1» недопустимо: в нём есть управляющие символы.")
            .arg(shown(name));
    if (isSeparator(name.front()) || hasDriveLetter(name))
        return QStringLiteral("Имя выходного файла «%1» недопустимо: путь от корня или от диска — образ "
                              "записывается только в выбранный путь записи (или в папку внутри него).")
            .arg(name);
    for (const QString &part : pathParts(name)) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return QStringLiteral(
                       "Имя выходного файла «%1» недопустимо: «.» и «..» не могут быть именем файла "
                       "или папки.")
                .arg(name);
        if (part.isEmpty())
            return QStringLiteral("Имя выходного файла «%1» недопустимо: в нём пустое имя папки или файла.")
                .arg(name);
    }
    return QString();
}

QString outputFileNameProblem(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString typed = dot < 0 ? fileName : fileName.left(dot);
    // A separator in the extension would be as bad as one in the name.
    const QString problem = outputNameProblem(typed);
    if (!problem.isEmpty() || dot < 0)
        return problem;
    return outputNameProblem(fileName);
}

QString outputPathBelow(const QString &outputDir, const QString &fileName)
{
    const QString below = pathParts(fileName).join(QLatin1Char('/'));
    if (outputDir.endsWith(QLatin1Char('/')) || outputDir.endsWith(QLatin1Char('\\')))
        return outputDir + below;
    return outputDir + QLatin1Char('/') + below;
}

QString outputFolderProblem(const QString &outputDir, const QString &fileName)
{
    QStringList folders = pathParts(fileName);
    folders.removeLast();
    if (folders.isEmpty())
        return QString();
    const QString folder = QDir(outputDir).filePath(folders.join(QLatin1Char('/')));
    if (QFileInfo(folder).isDir())
        return QString();
    return QStringLiteral("Не найдена папка %1: имя выходного файла «%2» называет папку внутри пути записи, "
                          "которой там нет; создайте её.")
        .arg(folder, fileName);
}
