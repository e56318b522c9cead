#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QTextStream>

int runInfoCommand(const QStringList &arguments)
{
    Q_UNUSED(arguments);
    cliErr() << "quillon-cli info: not available yet" << Qt::endl;
    return CliExit::Failed;
}
