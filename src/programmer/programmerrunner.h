#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QTimer>

#include "programmercommands.h"

// Runs the programmer's steps one after another without blocking the event loop. Each step is a
// process started directly (no shell) with its own argument list; its standard output and error
// are merged and streamed through outputReceived. A step that fails ends the whole run: the
// following steps are not started. finished() is emitted exactly once per start().
class ProgrammerRunner : public QObject {
    Q_OBJECT

public:
    // SucceededWithErrors: every step exited with 0, but the programmer printed error lines.
    enum class Outcome {
        None,
        Succeeded,
        SucceededWithErrors,
        FailedToStart,
        ExitedWithError,
        Crashed,
        TimedOut,
        Cancelled
    };
    Q_ENUM(Outcome)

    // How many of the programmer's last output lines a failure message carries.
    static constexpr int tailLineCount = 20;

    explicit ProgrammerRunner(QObject *parent = nullptr);
    // Kills a programmer still running and waits for it, so that none is left behind.
    ~ProgrammerRunner() override;

    void start(const QString &program, const QList<ProgrammerStep> &steps);
    // Kills the running step and waits for it to end; finished() follows with Cancelled.
    void cancel();

    bool isRunning() const { return m_running; }
    Outcome outcome() const { return m_outcome; }
    int exitCode() const { return m_exitCode; }
    // Everything the programmer wrote, over all steps.
    QString output() const { return m_output; }
    // A short completion text on success; otherwise what went wrong with the last output lines (for
    // SucceededWithErrors, the error lines the programmer printed).
    QString message() const { return m_message; }

    // The lines of a programmer's output that report an error ("Error: ...").
    static QStringList errorLines(const QString &text);

    // The last lines (blank ones skipped) of a text, carriage returns counting as line ends.
    static QString lastLines(const QString &text, int count);

signals:
    void stepStarted(int index, const QString &commandLine);
    void outputReceived(const QString &text);
    void finished(bool succeeded);

private:
    void startNextStep();
    void readOutput();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void processError(QProcess::ProcessError error);
    void stepTimedOut();
    void finish(Outcome outcome);
    QString failureText() const;
    QString errorLinesText() const;
    void discardProcess();

    QString m_program;
    QList<ProgrammerStep> m_steps;
    int m_stepIndex = -1;
    QPointer<QProcess> m_process;
    QTimer m_stepTimer;
    QStringDecoder m_decoder;
    bool m_running = false;
    bool m_timedOut = false;
    bool m_cancelled = false;
    Outcome m_outcome = Outcome::None;
    int m_exitCode = 0;
    QString m_startError;
    QString m_output;
    QString m_stepOutput;
    QStringList m_errorLines; // of the steps that exited with 0
    QString m_message;
};
