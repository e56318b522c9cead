#pragma once

#include <optional>

#include <QObject>

#include "converter.h"

class QWidget;
class JobRunner;
class UserDialogs;

namespace Ui {
class MainWindow;
}

// The two converter buttons under the tabs, "IntelHEX to BIN" and "BIN to IntelHEX": asks for a
// file, converts it beside itself in the direction of the button pressed, and reports; a file that
// is not what the button converts is refused.
class ConverterPanel : public QObject {
    Q_OBJECT

public:
    ConverterPanel(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs);

    // `button` is the converter button that was pressed.
    void convert(QObject *button);

private:
    // The error, or the warnings and the completion, of a conversion that was not cancelled.
    void showOutcome(const Result<Conversion> &result, std::optional<quint64> chosenOffset);

    Ui::MainWindow &ui;
    QWidget *m_window;
    UserDialogs &m_dialogs;
    JobRunner &m_jobs;
};
