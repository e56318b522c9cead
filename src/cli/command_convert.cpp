#include "cli/clireporter.h"
#include "cli/commands.h"

#include <QTextStream>

int runConvertCommand(const QStringList &arguments)
{
    Q_UNUSED(arguments);
    cliErr() << "quillon-cli convert: not available yet" << Qt::endl;
    return CliExit::Failed;
}
