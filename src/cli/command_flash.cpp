#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QTextStream>

int runFlashCommand(const QStringList &arguments)
{
    Q_UNUSED(arguments);
    cliErr() << "quillon-cli flash: not available yet" << Qt::endl;
    return CliExit::Failed;
}
