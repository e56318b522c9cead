#include "leftovercleanup.h"

#include <QDir>
#include <QFile>

#include "platform.h"

bool finishLeftoverUpdate(const QString &executableDirectory, int timeoutMs)
{
    const QDir directory(executableDirectory);
    const QString scriptPath = directory.filePath(Platform::cleanupScriptName());
    if (!QFile::exists(scriptPath))
        return false;
    const bool run = QFile::exists(directory.filePath(Platform::oldExecutableName()));
    if (run)
        Platform::runCleanupScript(scriptPath, timeoutMs);
    QFile::remove(scriptPath);
    return run;
}
