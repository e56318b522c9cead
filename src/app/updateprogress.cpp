#include "updateprogress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "userdialogs.h"

UpdateProgressDialog::UpdateProgressDialog(QWidget *window, const QString &label, int delayMs)
    : m_window(window), m_label(label), m_delayMs(delayMs)
{
    m_elapsed.start();
}

UpdateProgressDialog::~UpdateProgressDialog() = default;

void UpdateProgressDialog::report(qint64 done, qint64 total)
{
    if (!m_dialog) {
        if (m_elapsed.elapsed() < m_delayMs) {
            // Keep the window painted meanwhile, without taking clicks that could start another job.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return;
        }
        m_dialog = std::make_unique<QProgressDialog>(
            m_label, QCoreApplication::translate("UpdateProgressDialog", "Отмена"), 0, 100, m_window);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    m_dialog->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 0);
}

bool UpdateProgressDialog::cancelRequested() const
{
    return m_dialog && m_dialog->wasCanceled();
}

void UpdateProgressDialog::finish()
{
    if (!m_dialog)
        return;
    m_dialog->setValue(100);
    m_dialog->close();
    m_dialog.reset();
}

void ProgressAwareReporter::message(MessageKind kind, const QString &title, const QString &text)
{
    m_progress.finish();
    m_dialogs.message(kind, title, text);
}

bool ProgressAwareReporter::ask(const QString &title, const QString &text)
{
    m_progress.finish();
    return m_dialogs.ask(title, text);
}
