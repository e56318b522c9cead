#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QTextStream>

int runBinaryCommand(const QStringList &arguments)
{
    Q_UNUSED(arguments);
    cliErr() << "quillon-cli binary: not available yet" << Qt::endl;
    return CliExit::Failed;
}
