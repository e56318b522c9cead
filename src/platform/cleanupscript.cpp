#include "platform.h"

#include <QStringList>

namespace CleanupScript {

QByteArray windowsText(QString oldExecutablePath)
{
    oldExecutablePath.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const QStringList lines = {
        QStringLiteral("@echo off"),
        QStringLiteral(":loop"),
        QStringLiteral("del /F /Q \"%1\"").arg(oldExecutablePath),
        QStringLiteral("if exist \"%1\" (").arg(oldExecutablePath),
        QStringLiteral("    goto loop"),
        QStringLiteral(") else ("),
        QStringLiteral("   timeout /t 10 >nul & del /F /Q \"%~f0\""),
        QStringLiteral(")"),
    };
    return lines.join(QLatin1Char('\n')).toUtf8();
}

QString windowsScriptPath(QString oldExecutablePath)
{
    oldExecutablePath.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const int lastSeparator = oldExecutablePath.lastIndexOf(QLatin1Char('\\'));
    return oldExecutablePath.left(lastSeparator + 1) + QStringLiteral("delete.bat");
}

static QString shellQuoted(QString text)
{
    text.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QByteArray posixText(const QString &oldExecutablePath)
{
    const QString quoted = shellQuoted(oldExecutablePath);
    const QStringList lines = {
        QStringLiteral("#!/bin/sh"),
        QStringLiteral("while [ -e %1 ]; do").arg(quoted),
        QStringLiteral("    rm -f -- %1 || sleep 1").arg(quoted),
        QStringLiteral("done"),
        QStringLiteral("rm -f -- \"$0\""),
    };
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace CleanupScript
