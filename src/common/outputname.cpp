#include "common/outputname.h"

#include <algorithm>

#include "common/hextext.h"

namespace {

bool isControl(QChar c)
{
    // Other_Control covers the C0 and C1 control characters and DEL.
    return c.category() == QChar::Other_Control;
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

QString outputNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("Не задано имя выходного файла.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("Имя выходного файла «%1» недопустимо: «.» и «..» не могут быть именем файла.")
            .arg(name);
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("Имя выходного файла «%1» недопустимо: в нём не может быть «/» и «\\» — образ "
                              "записывается только в выбранный путь записи.")
            .arg(name);
    if (std::any_of(name.cbegin(), name.cend(), isControl))
        return QStringLiteral("Имя выходного файла «%1» недопустимо: в нём есть управляющие символы.")
            .arg(shown(name));
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
