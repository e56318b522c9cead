#include "startuplog.h"

#include <QFile>

namespace StartupLog {

void note(const QString &event)
{
    const QString path = qEnvironmentVariable("QUILLON_STARTUP_LOG");
    if (path.isEmpty())
        return;
    QFile log(path);
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(event.toUtf8() + '\n');
}

} // namespace StartupLog
