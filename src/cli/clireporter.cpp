#include "clireporter.h"

#include <cstdio>

#include <QTextStream>

QTextStream &cliOut()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &cliErr()
{
    static QTextStream stream(stderr);
    return stream;
}

namespace {

qsizetype statusLength = 0; // of the status line on the screen; 0: none

} // namespace

namespace CliStatusLine {

void show(const QString &text)
{
    // Blanks cover what a longer line before left; a carriage return goes back to the line's start.
    cliErr() << '\r' << text.leftJustified(statusLength) << Qt::flush;
    statusLength = text.size();
}

void clear()
{
    if (statusLength == 0)
        return;
    cliErr() << '\r' << QString(statusLength, QLatin1Char(' ')) << '\r' << Qt::flush;
    statusLength = 0;
}

} // namespace CliStatusLine

void CliReporter::message(MessageKind kind, const QString &title, const QString &text)
{
    Q_UNUSED(kind);
    CliStatusLine::clear();
    cliErr() << title << ' ' << text << Qt::endl;
}

bool CliReporter::ask(const QString &title, const QString &text)
{
    CliStatusLine::clear();
    cliErr() << title << ' ' << text << (m_answerYes ? " yes" : " no") << Qt::endl;
    return m_answerYes;
}

void printProblems(const QList<Problem> &problems)
{
    CliStatusLine::clear();
    for (const Problem &problem : problems)
        cliErr() << (problem.isError() ? "error: " : "warning: ") << problem.toString() << Qt::endl;
}
