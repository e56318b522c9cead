#include "cli/commandline.h"

#include <QCoreApplication>
#include <QTextStream>

#include "cli/clireporter.h"
#include "cli/commands.h"
#include "settings/settingskeys.h"

CommandLine::CommandLine(const QString &job, const QString &description)
    : m_command(QStringLiteral("quillon-cli ") + job)
{
    m_parser.setApplicationDescription(description);
    m_parser.addHelpOption();
}

std::optional<int> CommandLine::parse(const QStringList &arguments)
{
    if (!m_parser.parse(arguments))
        return usageError(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        cliOut() << helpText() << Qt::flush;
        return CliExit::Success;
    }
    return std::nullopt;
}

int CommandLine::usageError(const QString &text) const
{
    cliErr() << m_command << ": " << text << "\nRun \"" << m_command << " --help\" for its options."
             << Qt::endl;
    return CliExit::Usage;
}

QString CommandLine::savedOffsetField(const QString &key, const QString &settingsPath)
{
    return SettingsKeys::offsetsGroup() + QLatin1Char('/') + key + QStringLiteral(" (") + settingsPath +
           QLatin1Char(')');
}

QString CommandLine::helpText() const
{
    // The parser names the executable as it was started; the help names the command as it is typed.
    const QString parserUsage = QStringLiteral("Usage: ") + QCoreApplication::arguments().constFirst();
    QString text = m_parser.helpText();
    if (text.startsWith(parserUsage))
        text.replace(0, parserUsage.size(), QStringLiteral("Usage: ") + m_command);
    return text;
}
