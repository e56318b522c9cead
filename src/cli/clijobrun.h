#pragma once

#include <QElapsedTimer>
#include <QString>

#include "jobrun.h"

// The run of one quillon-cli job. Its progress is shown on standard error, as one line that is
// written over, once the job has lasted a second and only when standard error is a terminal: a
// log or a pipeline gets no progress. Ctrl+C or a request to end (SIGTERM, SIGHUP) cancels the
// job, which then stops at its next look, leaving no half-written file; a second interrupt ends
// the program at once.
class CliJobRun {
public:
    // `label` names the job in the progress line: "Конвертация", "Сборка".
    // `problems` gets what the job hands to its run.
    explicit CliJobRun(const QString &label, JobRun::ProblemConsumer problems = {});
    ~CliJobRun();
    CliJobRun(const CliJobRun &) = delete;
    CliJobRun &operator=(const CliJobRun &) = delete;

    JobRun &run() { return m_run; }

    // Whether an interrupt cancelled the job.
    bool interrupted() const;
    // Says that the job was interrupted and gives the exit code for it: 128 + the signal's number,
    // as a shell reports a program the signal ended.
    int reportInterrupted() const;

private:
    void showProgress(qint64 done, qint64 total);

    QString m_label;
    QElapsedTimer m_clock;
    bool m_toTerminal;
    int m_shownPercent = -1;
    JobRun m_run;
};
