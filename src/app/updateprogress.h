#pragma once

#include <memory>

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include "reporter.h"

class QProgressDialog;
class QWidget;
class UserDialogs;

// The progress of the update's download in a window-modal dialog over the window; the download
// runs on the window's thread with its own event loop, so this dialog, not the job runner, shows it.
// The dialog is made only once the work has lasted `delayMs`. The window is kept painted meanwhile.
class UpdateProgressDialog {
public:
    static constexpr int DefaultDelayMs = 400;

    UpdateProgressDialog(QWidget *window, const QString &label, int delayMs = DefaultDelayMs);
    virtual ~UpdateProgressDialog();

    // The job's progress callback: `done` out of `total`.
    void report(qint64 done, qint64 total);
    // Whether the user pressed "Отмена".
    bool cancelRequested() const;
    // Starts the wait for the dialog again, after time the user spent elsewhere.
    void restartClock() { m_elapsed.restart(); }
    // Shows the end and closes the dialog.
    void finish();

private:
    QWidget *m_window;
    QString m_label;
    int m_delayMs;
    QElapsedTimer m_elapsed;
    std::unique_ptr<QProgressDialog> m_dialog;
};

// Tells the user what the update reports, each message only once its progress dialog is closed,
// so that no box opens under it.
class ProgressAwareReporter : public Reporter {
public:
    ProgressAwareReporter(UpdateProgressDialog &progress, UserDialogs &dialogs)
        : m_progress(progress), m_dialogs(dialogs)
    {}

    void message(MessageKind kind, const QString &title, const QString &text) override;
    bool ask(const QString &title, const QString &text) override;

private:
    UpdateProgressDialog &m_progress;
    UserDialogs &m_dialogs;
};
