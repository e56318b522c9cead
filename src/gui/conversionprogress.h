#pragma once

#include <memory>

#include <QElapsedTimer>
#include <QtGlobal>

struct ConversionOptions;
class QProgressDialog;
class QWidget;

// The progress of one conversion in a window-modal dialog over the window. The dialog is made only
// once the work has lasted `delayMs`: a quick conversion shows none and costs no more than on the
// command line, while the window is kept painted meanwhile.
class ConversionProgress {
public:
    static constexpr int DefaultDelayMs = 400;

    ConversionProgress(QWidget *window, int delayMs = DefaultDelayMs);
    ~ConversionProgress();

    // Lets this dialog watch a conversion: its progress is reported here, and "Отмена" stops it.
    void watch(ConversionOptions &options);
    // Starts the wait for the dialog again, after time the user spent elsewhere.
    void restartClock() { m_elapsed.restart(); }
    // Shows the end and closes the dialog.
    void finish();

private:
    // The conversion's progress callback.
    void report(qint64 done, qint64 total);
    // Whether the user pressed "Отмена".
    bool cancelRequested() const;

    QWidget *m_window;
    int m_delayMs;
    QElapsedTimer m_elapsed;
    std::unique_ptr<QProgressDialog> m_dialog;
};
