#pragma once

#include <QDialog>

#include "programmercommands.h"
#include "programmerrunner.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Shows the programmer's output while it flashes, with a button that cancels the flashing and,
// once it has ended, closes the dialog. Closing the dialog in any way while the programmer runs
// kills it and waits for it. The dialog deletes itself when closed.
class FlashDialog : public QDialog {
    Q_OBJECT

public:
    explicit FlashDialog(QWidget *parent);

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

    ProgrammerRunner *m_runner;
    QStringList m_stepDescriptions;
    QLabel *m_status;
    QPlainTextEdit *m_output;
    QPushButton *m_button;
};
