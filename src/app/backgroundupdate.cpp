#include "backgroundupdate.h"

#include <QCoreApplication>

#include "startuplog.h"
#include "updateprogress.h"
#include "userdialogs.h"

BackgroundUpdate::BackgroundUpdate(const QString &executablePath, const UpdateSource &source,
                                   UserDialogs &dialogs, SingleInstance &instance, const Window &window)
    : m_source(source), m_dialogs(dialogs), m_instance(instance), m_window(window), m_update(executablePath),
      m_check(m_update, source)
{
    connect(&m_check, &UpdateCheck::finished, this, &BackgroundUpdate::offer);
}

void BackgroundUpdate::start()
{
    if (!m_source.address.isEmpty())
        m_check.start();
}

void BackgroundUpdate::offer(bool found)
{
    if (!found) {
        StartupLog::note(QStringLiteral("update skipped: ") + m_update.skipReason());
        return;
    }
    UpdateProgressDialog progress(m_window.current(), progressLabel(), 0);
    const DownloadProgress report = [&progress](qint64 done, qint64 total) {
        progress.report(done, total);
        return !progress.cancelRequested();
    };
    ProgressAwareReporter reporter(progress, m_dialogs);
    const bool installed = acceptAndInstall(m_update, m_source, reporter, report);
    progress.finish();
    if (!installed)
        return;

    m_window.close();
    switch (restartInstalled(m_update, m_instance)) {
    case RestartOutcome::Restarted:
    case RestartOutcome::AnotherInstanceRuns:
        QCoreApplication::exit(0);
        return;
    case RestartOutcome::NotStarted:
        break;
    }
    m_window.reopen();
    m_dialogs.message(MessageKind::Critical, ReportTitle::error(),
                      SelfUpdate::notInstalledText(m_update.problem()));
}
