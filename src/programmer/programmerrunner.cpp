#include "programmerrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform.h"

namespace {

// Beyond this the oldest output is dropped; the messages only need the end of it.
constexpr int maxKeptOutput = 1024 * 1024;
// After a kill the process ends at once; this only bounds a pathological wait.
constexpr int killWaitMs = 10 * 1000;

void appendBounded(QString &buffer, const QString &text)
{
    buffer += text;
    if (buffer.size() > maxKeptOutput)
        buffer.remove(0, buffer.size() - maxKeptOutput);
}

QString quotedIfNeeded(const QString &argument)
{
    if (!argument.isEmpty() && !argument.contains(QRegularExpression(QStringLiteral("[\\s\"'&$`;|<>()]"))))
        return argument;
    return QLatin1Char('"') + QString(argument).replace(QLatin1Char('"'), QLatin1String("\\\"")) +
           QLatin1Char('"');
}

} // namespace

ProgrammerRunner::ProgrammerRunner(QObject *parent) : QObject(parent), m_decoder(QStringDecoder::System)
{
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &ProgrammerRunner::stepTimedOut);
}

ProgrammerRunner::~ProgrammerRunner()
{
    // Nobody is to be told any more, but the programmer must not outlive its owner.
    blockSignals(true);
    cancel();
}

void ProgrammerRunner::start(const QString &program, const QList<ProgrammerStep> &steps)
{
    if (m_running)
        return;
    m_program = program;
    m_steps = steps;
    m_stepIndex = -1;
    m_running = true;
    m_outcome = Outcome::None;
    m_exitCode = 0;
    m_output.clear();
    m_message.clear();
    m_errorLines.clear();
    startNextStep();
}

void ProgrammerRunner::cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    if (m_process && m_process->state() != QProcess::NotRunning) {
        Platform::killProcessGroup(*m_process);
        m_process->waitForFinished(killWaitMs); // delivers processFinished
    }
    if (m_running)
        finish(Outcome::Cancelled);
}

void ProgrammerRunner::startNextStep()
{
    ++m_stepIndex;
    if (m_stepIndex >= m_steps.size()) {
        m_stepIndex = int(m_steps.size()) - 1;
        finish(m_errorLines.isEmpty() ? Outcome::Succeeded : Outcome::SucceededWithErrors);
        return;
    }
    const ProgrammerStep &step = m_steps.at(m_stepIndex);
    m_timedOut = false;
    m_cancelled = false;
    m_startError.clear();
    m_stepOutput.clear();
    m_decoder.resetState();

    m_process = new QProcess(this);
    m_process->setProgram(m_program);
    m_process->setArguments(step.arguments);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // The programmer must never sit waiting for an answer nobody can type.
    m_process->setStandardInputFile(QProcess::nullDevice());
    // A time-out or a cancel ends the helpers the programmer started too, not only the programmer.
    Platform::startInOwnProcessGroup(*m_process);
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ProgrammerRunner::readOutput);
    connect(m_process, &QProcess::finished, this, &ProgrammerRunner::processFinished);
    connect(m_process, &QProcess::errorOccurred, this, &ProgrammerRunner::processError);

    QStringList shown{quotedIfNeeded(m_program)};
    for (const QString &argument : step.arguments)
        shown << quotedIfNeeded(argument);
    emit stepStarted(m_stepIndex, shown.join(QLatin1Char(' ')));

    if (step.timeoutMs > 0)
        m_stepTimer.start(step.timeoutMs);
    m_process->start();
}

void ProgrammerRunner::readOutput()
{
    if (!m_process)
        return;
    const QString text = m_decoder.decode(m_process->readAllStandardOutput());
    if (text.isEmpty())
        return;
    appendBounded(m_output, text);
    appendBounded(m_stepOutput, text);
    emit outputReceived(text);
}

void ProgrammerRunner::processFinished(int exitCode, QProcess::ExitStatus status)
{
    if (!m_running)
        return;
    readOutput();
    // Helpers the programmer started and did not wait for end with it.
    if (m_process)
        Platform::killProcessGroup(*m_process);
    m_exitCode = exitCode;
    if (m_cancelled)
        finish(Outcome::Cancelled);
    else if (m_timedOut)
        finish(Outcome::TimedOut);
    else if (status == QProcess::CrashExit)
        finish(Outcome::Crashed);
    else if (exitCode != 0)
        finish(Outcome::ExitedWithError);
    else {
        m_errorLines += errorLines(m_stepOutput);
        discardProcess();
        startNextStep();
    }
}

void ProgrammerRunner::processError(QProcess::ProcessError error)
{
    // Crashes and kills arrive through processFinished; only a failed start has no finish.
    if (error != QProcess::FailedToStart || !m_running)
        return;
    m_startError = m_process ? m_process->errorString() : QString();
    finish(Outcome::FailedToStart);
}

void ProgrammerRunner::stepTimedOut()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_timedOut = true;
    Platform::killProcessGroup(*m_process); // processFinished reports the time-out
}

void ProgrammerRunner::finish(Outcome outcome)
{
    m_stepTimer.stop();
    m_outcome = outcome;
    if (outcome == Outcome::Succeeded)
        m_message = QStringLiteral("Прошивка завершена");
    else if (outcome == Outcome::SucceededWithErrors)
        m_message = errorLinesText();
    else
        m_message = failureText();
    m_running = false;
    discardProcess();
    emit finished(outcome == Outcome::Succeeded);
}

QString ProgrammerRunner::errorLinesText() const
{
    QStringList shown = m_errorLines.mid(0, tailLineCount);
    if (m_errorLines.size() > tailLineCount)
        shown << QStringLiteral("… и ещё %1").arg(m_errorLines.size() - tailLineCount);
    return QStringLiteral(
               "Программатор завершился без кода ошибки, но сообщил об ошибках; проверьте плату:\n") +
           shown.join(QLatin1Char('\n'));
}

QStringList ProgrammerRunner::errorLines(const QString &text)
{
    static const QRegularExpression errorLine(QStringLiteral("^\\s*Error\\s*:"),
                                              QRegularExpression::CaseInsensitiveOption);
    QStringList found;
    const QStringList lines =
        text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        if (errorLine.match(line).hasMatch())
            found << line.trimmed();
    return found;
}

QString ProgrammerRunner::failureText() const
{
    const QString step =
        m_stepIndex >= 0 && m_stepIndex < m_steps.size() ? m_steps.at(m_stepIndex).description : QString();
    QString text;
    switch (m_outcome) {
    case Outcome::FailedToStart:
        text =
            QStringLiteral("Не удалось запустить программатор «%1» (%2): %3")
                .arg(QDir::toNativeSeparators(QFileInfo(m_program).absoluteFilePath()), step, m_startError);
        break;
    case Outcome::ExitedWithError:
        text = QStringLiteral("Программатор завершился с ошибкой, код %1 (%2).").arg(m_exitCode).arg(step);
        break;
    case Outcome::Crashed:
        text = QStringLiteral("Программатор аварийно завершился (%1).").arg(step);
        break;
    case Outcome::TimedOut:
        text = QStringLiteral("Программатор не завершился за %1 с и был остановлен (%2).")
                   .arg(m_steps.at(m_stepIndex).timeoutMs / 1000.0)
                   .arg(step);
        break;
    case Outcome::Cancelled:
        text =
            QStringLiteral("Прошивка прервана пользователем (%1); плата может остаться стёртой.").arg(step);
        break;
    case Outcome::None:
    case Outcome::Succeeded:
    case Outcome::SucceededWithErrors:
        break;
    }
    const QString tail = lastLines(m_stepOutput, tailLineCount);
    if (tail.isEmpty())
        return text + QStringLiteral("\n\nПрограмматор ничего не вывел.");
    return text + QStringLiteral("\n\nПоследние строки вывода программатора:\n") + tail;
}

void ProgrammerRunner::discardProcess()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    m_process->deleteLater();
    m_process = nullptr;
}

QString ProgrammerRunner::lastLines(const QString &text, int count)
{
    const QStringList lines =
        text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")), Qt::SkipEmptyParts);
    QStringList kept;
    for (auto line = lines.crbegin(); line != lines.crend() && kept.size() < count; ++line)
        if (!line->trimmed().isEmpty())
            kept.prepend(*line);
    return kept.join(QLatin1Char('\n'));
}
