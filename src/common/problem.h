#pragma once

#include <optional>

#include <QList>
#include <QString>

// One thing a user is told about an input or a job: how bad it is, the file as the user typed it,
// the line where there is one, and what is wrong. The core hands problems on and never shows them;
// the window shows them, quillon-cli prints them, tests compare them.
struct Problem {
    enum class Severity { Error, Warning, Note };

    Severity severity = Severity::Error;
    QString file; // as the user gave it; empty when the problem belongs to no file
    int line = 0; // 1-based; 0 when it is about the file as a whole
    QString message;
    // The title of the box that shows it, where that is not its severity's own ("Не верный формат!").
    QString title;

    static Problem error(const QString &message, const QString &file = QString(), int line = 0)
    {
        return {Severity::Error, file, line, message, QString()};
    }
    static Problem warning(const QString &message, const QString &file = QString(), int line = 0)
    {
        return {Severity::Warning, file, line, message, QString()};
    }

    bool isError() const { return severity == Severity::Error; }

    // "build/fw.hex, строка 12: неверная контрольная сумма ...", "build/fw.hex: ..." for the file as a
    // whole, the message alone for a problem of no file.
    QString toString() const
    {
        if (file.isEmpty())
            return message;
        if (line > 0)
            return QStringLiteral("%1, строка %2: %3").arg(file).arg(line).arg(message);
        return QStringLiteral("%1: %2").arg(file, message);
    }
};

// The first error among the problems; none when there are only warnings and notes.
inline std::optional<Problem> firstError(const QList<Problem> &problems)
{
    for (const Problem &problem : problems)
        if (problem.isError())
            return problem;
    return std::nullopt;
}
