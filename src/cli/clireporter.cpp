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

void CliReporter::message(MessageKind kind, const QString &title, const QString &text)
{
    Q_UNUSED(kind);
    cliErr() << title << ' ' << text << Qt::endl;
}

bool CliReporter::ask(const QString &title, const QString &text)
{
    cliErr() << title << ' ' << text << (m_answerYes ? " yes" : " no") << Qt::endl;
    return m_answerYes;
}
