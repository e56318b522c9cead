#pragma once

#include <QDialog>

#include "programmercommands.h"
#include "programmerrunner.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class UserDialogs;

// Shows the programmer's output while it flashes, with a button that cancels the flashing and,
// once it has ended, closes the dialog. Closing the dialog in any way while the programmer runs
// (the button, Esc, the title bar) asks first, since a board stopped halfway may be left erased;
// agreed, it kills the programmer and waits for it. A flashing that succeeded closes the dialog:
// its message box says all. The dialog deletes itself when closed.
class FlashDialog : public QDialog {
    Q_OBJECT

public:
    // The dialogs ask before an abort; they must outlive the dialog.
    FlashDialog(QWidget *parent, UserDialogs &dialogs);

    void start(const FlashPlan &plan);
    bool isRunning() const { return m_runner->isRunning(); }

public slots:
    void reject() override;

signals:
    void flashingFinished(ProgrammerRunner::Outcome outcome, const QString &message);

private:
    void showStep(int index, const QString &commandLine);
    void appendOutput(const QString &text);
    void runnerFinished(bool succeeded);

    UserDialogs &m_dialogs;
    ProgrammerRunner *m_runner;
    QStringList m_stepDescriptions;
    QLabel *m_status;
    QPlainTextEdit *m_output;
    QPushButton *m_button;
};
