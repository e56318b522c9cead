#pragma once

#include <QObject>

class QWidget;
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
    ConverterPanel(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs);

    // `button` is the converter button that was pressed.
    void convert(QObject *button);

private:
    Ui::MainWindow &ui;
    QWidget *m_window;
    UserDialogs &m_dialogs;
};
