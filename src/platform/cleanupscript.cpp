#include "platform.h"

#include <QStringList>

#include <algorithm>

namespace CleanupScript {

static const QByteArray Mark = "quillon-update-cleanup sha256=";

// A comment in either language: cmd reads "@rem" without echoing it, sh reads "#".
static QByteArray markLine(const QByteArray &comment, const QByteArray &sha256)
{
    return comment + ' ' + Mark + sha256 + '\n';
}

QByteArray recordedDigest(const QByteArray &scriptText)
{
    QByteArray firstLine = scriptText.left(scriptText.indexOf('\n'));
    if (firstLine.endsWith('\r'))
        firstLine.chop(1);
    for (const QByteArray &comment : {QByteArray("@rem "), QByteArray("# ")}) {
        if (!firstLine.startsWith(comment + Mark))
            continue;
        const QByteArray digest = firstLine.mid(comment.size() + Mark.size());
        const bool hex = std::all_of(digest.cbegin(), digest.cend(),
                                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
        return digest.size() == 64 && hex ? digest : QByteArray();
    }
    return QByteArray();
}

QByteArray windowsText(const QString &oldExecutablePath, const QByteArray &oldSha256)
{
    return markLine("@rem", oldSha256) + legacyWindowsText(oldExecutablePath);
}

QByteArray posixText(const QString &oldExecutablePath, const QByteArray &oldSha256)
{
    return markLine("#", oldSha256) + legacyPosixText(oldExecutablePath);
}

QByteArray legacyWindowsText(QString oldExecutablePath)
{
    // The script always lies beside the old executable and names it through its own folder
    // (%~dp0): cmd reads a batch file in the console's OEM code page, where a UTF-8 path with
    // Cyrillic letters (a per-user installation under C:\Users\Иван) would name another file, and
    // a "%" in the path would be expanded as a variable.
    oldExecutablePath.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QString oldName = oldExecutablePath.mid(oldExecutablePath.lastIndexOf(QLatin1Char('\\')) + 1);
    oldName.replace(QLatin1Char('%'), QStringLiteral("%%"));
    const QString old = QStringLiteral("%~dp0") + oldName;
    const QStringList lines = {
        QStringLiteral("@echo off"),
        QStringLiteral(":loop"),
        QStringLiteral("del /F /Q \"%1\"").arg(old),
        QStringLiteral("if exist \"%1\" (").arg(old),
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

QByteArray legacyPosixText(const QString &oldExecutablePath)
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
