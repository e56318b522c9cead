#include "gui/conversionprogress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "hex/converter.h"

ConversionProgress::ConversionProgress(QWidget *window, int delayMs) : m_window(window), m_delayMs(delayMs)
{
    m_elapsed.start();
}

ConversionProgress::~ConversionProgress() = default;

void ConversionProgress::watch(ConversionOptions &options)
{
    options.progress = [this](qint64 done, qint64 total) {
        report(done, total);
    };
    options.cancelRequested = [this] {
        return cancelRequested();
    };
}

void ConversionProgress::report(qint64 done, qint64 total)
{
    if (!m_dialog) {
        if (m_elapsed.elapsed() < m_delayMs) {
            // Keep the window painted meanwhile, without taking clicks that could start another
            // conversion.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return;
        }
        m_dialog = std::make_unique<QProgressDialog>(
            QCoreApplication::translate("ConverterPanel", "Конвертация..."),
            QCoreApplication::translate("ConverterPanel", "Отмена"), 0, 100, m_window);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    m_dialog->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 0);
}

bool ConversionProgress::cancelRequested() const
{
    return m_dialog && m_dialog->wasCanceled();
}

void ConversionProgress::finish()
{
    if (!m_dialog)
        return;
    m_dialog->setValue(100);
    m_dialog->close();
    m_dialog.reset();
}
