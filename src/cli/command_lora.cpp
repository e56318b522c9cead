#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QTextStream>

int runLoRaCommand(const QStringList &arguments)
{
    Q_UNUSED(arguments);
    cliErr() << "quillon-cli lora: not available yet" << Qt::endl;
    return CliExit::Failed;
}
