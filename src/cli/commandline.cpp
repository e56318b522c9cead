#include "commandline.h"

#include <QCoreApplication>
#include <QTextStream>

#include "clijobrun.h"
#include "clireporter.h"
#include "commands.h"
#include "flashtarget.h"
#include "hexnumber.h"
#include "hextext.h"
#include "imagebuild.h"
#include "imageplan.h"
#include "jobrun.h"
#include "reporter.h"
#include "tabjobs.h"

bool readHexOption(const QCommandLineParser &parser, const QCommandLineOption &option, quint64 &value,
                   quint64 largest)
{
    if (!parser.isSet(option))
        return true;
    const std::optional<quint64> number = HexNumber::parse(parser.value(option), largest);
    if (number)
        value = *number;
    return number.has_value();
}

QString notHexadecimalText(const QCommandLineParser &parser, const QCommandLineOption &option)
{
    return QStringLiteral("--%1 принимает шестнадцатеричное число, а не «%2»")
        .arg(option.names().constFirst(), parser.value(option));
}

std::optional<QPair<quint64, quint64>> takeRangeOption(QStringList &arguments, QString *error)
{
    std::optional<QPair<quint64, quint64>> range;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--"))
            break;
        if (arguments.at(i) != QLatin1String("--range"))
            continue;
        const std::optional<quint64> start =
            i + 2 < arguments.size() ? HexNumber::parse(arguments.at(i + 1)) : std::nullopt;
        const std::optional<quint64> end = start ? HexNumber::parse(arguments.at(i + 2)) : std::nullopt;
        if (!start || !end) {
            *error =
                QStringLiteral("--range принимает два шестнадцатеричных адреса, START и END (первый адрес "
                               "за диапазоном)");
            return std::nullopt;
        }
        if (range) {
            *error = QStringLiteral("--range задан дважды");
            return std::nullopt;
        }
        if (*end <= *start) {
            *error = QStringLiteral("--range %1 %2 пуст: END — первый адрес за диапазоном")
                         .arg(arguments.at(i + 1), arguments.at(i + 2));
            return std::nullopt;
        }
        range = qMakePair(*start, *end);
        arguments.remove(i, 3);
        --i;
    }
    return range;
}

namespace {

int buildPlannedImages(const ImagePlan &plan, JobRun &run, Reporter &reporter)
{
    if (const std::optional<Problem> tooLarge = plan.flashOverflow()) {
        reportProblem(reporter, *tooLarge);
        return CliExit::Failed;
    }
    const Result<QStringList> built = buildImages(plan, run);
    if (!built)
        return CliExit::Failed;
    reporter.message(MessageKind::Information, ReportTitle::complete(), plan.finishedText);
    for (const QString &path : built.value())
        cliOut() << path << '\n';
    cliOut().flush();
    return CliExit::Success;
}

} // namespace

int planAndBuildImages(const std::function<ImagePlan(JobRun &)> &plan, Reporter &reporter)
{
    CliJobRun job(QStringLiteral("Сборка"),
                  [&reporter](const Problem &problem) { reportProblem(reporter, problem); });
    const int exitCode = buildPlannedImages(plan(job.run()), job.run(), reporter);
    return job.interrupted() ? job.reportInterrupted() : exitCode;
}

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

std::optional<int> CommandLine::parseWithRange(QStringList arguments,
                                               std::optional<QPair<quint64, quint64>> *range)
{
    QString rangeError;
    *range = takeRangeOption(arguments, &rangeError);
    if (!rangeError.isEmpty())
        return usageError(rangeError);
    if (const std::optional<int> exitCode = parse(arguments))
        return exitCode;
    // A "--range" still seen by the parser came without its two addresses.
    if (m_parser.isSet(QStringLiteral("range")))
        return usageError(QStringLiteral("--range принимает два адреса: --range START END"));
    return std::nullopt;
}

int CommandLine::usageError(const QString &text) const
{
    cliErr() << m_command << ": " << text << "\nRun \"" << m_command << " --help\" for its options."
             << Qt::endl;
    return CliExit::Usage;
}

QString CommandLine::savedField(const QString &group, const QString &key, const QString &settingsPath)
{
    return group + QLatin1Char('/') + key + QStringLiteral(" (") + settingsPath + QLatin1Char(')');
}

int CommandLine::invalidSavedField(const InvalidOffset &invalid, const QString &settingsPath) const
{
    return usageError(invalid.message(savedField(invalid.group, invalid.key, settingsPath)));
}

QCommandLineOption CommandLine::flashSizeOption()
{
    return QCommandLineOption(
        QStringLiteral("flash-size"),
        QStringLiteral("Size of the board's flash: hexadecimal bytes (40000 or 0x40000) or KiB/MiB (256K, "
                       "1M). An image that does not fit is not built (exit code 1). Without this option the "
                       "size saved in --settings applies, if one was set there."),
        QStringLiteral("SIZE"));
}

QCommandLineOption CommandLine::flashBaseOption()
{
    return QCommandLineOption(QStringLiteral("flash-base"),
                              QStringLiteral("Address where the flash starts, for Intel HEX images (default "
                                             "0x08000000)."),
                              QStringLiteral("HEX"));
}

bool CommandLine::readFlashSize(const QCommandLineOption &option, QString &text) const
{
    if (!m_parser.isSet(option))
        return true;
    const std::optional<quint64> size = FlashSize::parse(m_parser.value(option));
    if (!size) {
        usageError(QStringLiteral("--flash-size \"%1\": expected a size above 0 and up to 4 GiB, e.g. 40000, "
                                  "0x40000, 256K or 1M")
                       .arg(m_parser.value(option)));
        return false;
    }
    text = FlashSize::text(*size);
    return true;
}

bool CommandLine::readFlashBase(const QCommandLineOption &option, QString &text) const
{
    if (!m_parser.isSet(option))
        return true;
    const std::optional<quint64> base = FlashBase::parse(m_parser.value(option));
    if (!base || m_parser.value(option).trimmed().isEmpty()) {
        usageError(QStringLiteral("--flash-base \"%1\": expected a hexadecimal address up to FFFFFFFF, e.g. "
                                  "0x08000000")
                       .arg(m_parser.value(option)));
        return false;
    }
    text = HexText::address(*base);
    return true;
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
