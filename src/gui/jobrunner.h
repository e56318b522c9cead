#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "userdialogs.h"

class JobRun;
class QProgressDialog;
class QWidget;

// Runs the window's jobs off its thread, one at a time, so that the window goes on answering while
// a job works. Once a job has lasted a moment its progress shows in a window-modal dialog over the
// window, whose "Отмена" cancels the job: the job stops within a block, leaving any earlier output as
// it was. The boxes and questions a job brings up are shown on the window's thread through the
// window's dialogs, with the progress dialog put away while they are open.
class JobRunner : public QObject {
    Q_OBJECT

public:
    static constexpr int DefaultDelayMs = 400;

    // The dialogs are the window's; they must outlive the runner.
    JobRunner(QWidget *window, UserDialogs &dialogs, int delayMs = DefaultDelayMs);
    ~JobRunner() override;

    // Whether a job is running: the window starts no other meanwhile.
    bool isBusy() const { return m_busy; }
    // Whether the last job ended because it was cancelled ("Отмена", or a question answered so).
    bool wasCancelled() const { return m_cancelled; }
    // Asks the running job to stop; nothing when none runs.
    void cancel();

    // Runs `work(JobRun &, UserDialogs &)` on a worker thread and gives its value once it has
    // ended; the window's events are handled meanwhile. The dialogs given to the work are the
    // window's, usable from the worker thread; the problems the work hands to its run are shown as
    // boxes of their severity. `label` is the progress dialog's text; it shows once the job has
    // lasted `delayMs` (the runner's own delay when negative). Not to be called while a job runs.
    template <typename Work> auto run(const QString &label, Work &&work, int delayMs = -1)
    {
        using Value = std::invoke_result_t<Work &, JobRun &, UserDialogs &>;
        std::optional<Value> value;
        execute(
            label, [&](JobRun &job, UserDialogs &dialogs) { value.emplace(work(job, dialogs)); }, delayMs);
        return std::move(*value);
    }

signals:
    // A job has ended and the runner is free again; sent after run() has returned.
    void idle();

private:
    class WorkerDialogs;

    void execute(const QString &label, const std::function<void(JobRun &, UserDialogs &)> &work, int delayMs);
    void waitFor(QThread &worker, JobRun &run);
    void showProgress(quint64 job, qint64 done, qint64 total);
    void showDialog();
    void closeDialog();
    // Runs a call of the window's dialogs on the window's thread, the progress dialog put away.
    void onWindowThread(const std::function<void()> &call);

    QPointer<QWidget> m_window;
    UserDialogs &m_dialogs;
    std::unique_ptr<WorkerDialogs> m_workerDialogs;
    const int m_delayMs;
    QTimer m_delay; // until the progress dialog shows
    std::unique_ptr<QProgressDialog> m_dialog;
    QString m_label;
    int m_percent = 0;
    JobRun *m_run = nullptr; // of the running job
    quint64 m_job = 0;       // counts the jobs, so that late progress of an ended one is ignored
    bool m_busy = false;
    bool m_cancelled = false;
};
