#include "platform/platform.h"

#include <QDir>
#include <QProcess>

#include <unistd.h>

namespace Platform {

bool showFolder(const QString &folderPath)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {QDir(folderPath).absolutePath()});
}

QString publishedExecutableName()
{
    return QStringLiteral("Quillon");
}
QString downloadedExecutableName()
{
    return QStringLiteral("Quillon_new");
}
QString oldExecutableName()
{
    return QStringLiteral("Old");
}
QString cleanupScriptName()
{
    return QStringLiteral("delete.sh");
}

bool isNativeExecutable(const QByteArray &data)
{
    return data.startsWith("\x7f"
                           "ELF");
}

QByteArray cleanupScriptText(const QString &oldExecutablePath)
{
    return CleanupScript::posixText(oldExecutablePath);
}

void runCleanupScript(const QString &scriptPath, int timeoutMs)
{
    QProcess script;
    script.start(QStringLiteral("/bin/sh"), {scriptPath});
    script.waitForFinished(timeoutMs);
}

QString currentUserId()
{
    return QString::number(getuid());
}

QString defaultProgrammerPath()
{
    return QDir::homePath() +
           QStringLiteral("/STMicroelectronics/STM32Cube/STM32CubeProgrammer/bin/STM32_Programmer_CLI");
}

QString programmerExecutableName()
{
    return QStringLiteral("STM32_Programmer_CLI");
}

} // namespace Platform
