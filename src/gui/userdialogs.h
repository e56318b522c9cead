#pragma once

#include <optional>

#include <QPointer>
#include <QWidget>

#include "reporter.h"

class QValidator;

// Every message box, question, file or directory chooser and input dialog of the window goes
// through this seam. The program uses MessageBoxDialogs; the tests install a scripted fake so
// that no real modal box ever opens under the offscreen platform.
//
// Every box and dialog belongs to the main window (set by the window itself), so that none can
// open behind it.
class UserDialogs : public Reporter {
public:
    void setWindow(QWidget *window) { m_window = window; }
    QWidget *window() const { return m_window; }

    // Empty when cancelled.
    virtual QString chooseDirectory(const QString &caption, const QString &startDir) = 0;
    // Empty when cancelled.
    virtual QString chooseFile(const QString &caption, const QString &startDir, const QString &filter) = 0;
    // A line of text, which `validator` (when given) has to accept before the dialog can be
    // confirmed; no value when cancelled.
    virtual std::optional<QString> askText(const QString &title, const QString &label, const QString &value,
                                           const QValidator *validator) = 0;

private:
    QPointer<QWidget> m_window;
};
