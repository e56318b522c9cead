#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QTextStream>

int runIntelHexCommand(const QStringList &arguments)
{
    Q_UNUSED(arguments);
    cliErr() << "quillon-cli intelhex: not available yet" << Qt::endl;
    return CliExit::Failed;
}
