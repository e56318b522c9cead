#include "jobrunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

#include "jobrun.h"
#include "reporter.h"

// The window's dialogs as a job on the worker thread uses them: each call is made on the window's
// thread, and the worker waits for its answer.
class JobRunner::WorkerDialogs : public UserDialogs {
public:
    explicit WorkerDialogs(JobRunner &runner) : m_runner(runner) {}

    void message(MessageKind kind, const QString &title, const QString &text) override
    {
        m_runner.onWindowThread([&] { m_runner.m_dialogs.message(kind, title, text); });
    }
    bool ask(const QString &title, const QString &text) override
    {
        bool answer = false;
        m_runner.onWindowThread([&] { answer = m_runner.m_dialogs.ask(title, text); });
        return answer;
    }
    QString chooseDirectory(const QString &caption, const QString &startDir) override
    {
        QString chosen;
        m_runner.onWindowThread([&] { chosen = m_runner.m_dialogs.chooseDirectory(caption, startDir); });
        return chosen;
    }
    QString chooseFile(const QString &caption, const QString &startDir, const QString &filter) override
    {
        QString chosen;
        m_runner.onWindowThread([&] { chosen = m_runner.m_dialogs.chooseFile(caption, startDir, filter); });
        return chosen;
    }
    std::optional<QString> askText(const QString &title, const QString &label, const QString &value,
                                   const QValidator *validator) override
    {
        std::optional<QString> answer;
        m_runner.onWindowThread([&] { answer = m_runner.m_dialogs.askText(title, label, value, validator); });
        return answer;
    }

private:
    JobRunner &m_runner;
};

JobRunner::JobRunner(QWidget *window, UserDialogs &dialogs, int delayMs)
    : m_window(window), m_dialogs(dialogs), m_workerDialogs(std::make_unique<WorkerDialogs>(*this)),
      m_delayMs(delayMs)
{
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &JobRunner::showDialog);
}

JobRunner::~JobRunner() = default;

void JobRunner::cancel()
{
    if (m_run)
        m_run->cancel();
}

void JobRunner::execute(const QString &label, const std::function<void(JobRun &, UserDialogs &)> &work,
                        int delayMs)
{
    Q_ASSERT(!m_busy);
    m_busy = true;
    m_delay.setInterval(delayMs >= 0 ? delayMs : m_delayMs);
    m_label = label;
    m_percent = 0;
    const quint64 job = ++m_job;
    // Progress is reported on the worker thread and shown on this one; problems are shown as boxes.
    JobRun run(
        [this, job](qint64 done, qint64 total) {
            QMetaObject::invokeMethod(
                this, [this, job, done, total] { showProgress(job, done, total); }, Qt::QueuedConnection);
        },
        [this](const Problem &problem) { reportProblem(*m_workerDialogs, problem); });
    m_run = &run;
    std::unique_ptr<QThread> worker(QThread::create([&] { work(run, *m_workerDialogs); }));
    m_delay.start();
    worker->start();
    waitFor(*worker, run);
    m_delay.stop();
    closeDialog();
    m_run = nullptr;
    m_cancelled = run.isCancelled();
    m_busy = false;
    QMetaObject::invokeMethod(this, &JobRunner::idle, Qt::QueuedConnection);
}

void JobRunner::waitFor(QThread &worker, JobRun &run)
{
    QEventLoop loop;
    connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    if (!worker.isFinished())
        loop.exec();
    // The loop ends early only when the program is quitting: the job is stopped, its questions
    // still answered meanwhile.
    if (!worker.isFinished())
        run.cancel();
    while (!worker.wait(10))
        QCoreApplication::processEvents();
}

void JobRunner::showProgress(quint64 job, qint64 done, qint64 total)
{
    if (job != m_job || !m_run)
        return;
    m_percent = total > 0 ? static_cast<int>(qBound<qint64>(0, done, total) * 100 / total) : 0;
    if (m_dialog)
        m_dialog->setValue(m_percent);
}

void JobRunner::showDialog()
{
    if (!m_run || m_dialog)
        return;
    m_dialog = std::make_unique<QProgressDialog>(m_label, tr("Отмена"), 0, 100, m_window);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setValue(m_percent);
    connect(m_dialog.get(), &QProgressDialog::canceled, this, &JobRunner::cancel);
    m_dialog->show();
}

void JobRunner::closeDialog()
{
    if (!m_dialog)
        return;
    m_dialog->disconnect(this);
    m_dialog->close();
    m_dialog.reset();
}

void JobRunner::onWindowThread(const std::function<void()> &call)
{
    const auto withoutProgress = [this, &call] {
        // No box opens under the progress dialog; it comes back after a while if the job goes on.
        m_delay.stop();
        closeDialog();
        call();
        if (m_run)
            m_delay.start();
    };
    if (QThread::currentThread() == thread())
        withoutProgress();
    else
        QMetaObject::invokeMethod(this, withoutProgress, Qt::BlockingQueuedConnection);
}
