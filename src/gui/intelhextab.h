#pragma once

#include <QObject>

#include "gui/templatelist.h"
#include "settings/tabsettings.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QSettings;
class QWidget;
class UserDialogs;

namespace Ui {
class MainWindow;
}

// The "IntelHEX" page: up to six Intel HEX files, each ticked to take part, joined in a fixed order
// into one HEX file named by the template.
class IntelHexTab : public QObject {
    Q_OBJECT

public:
    IntelHexTab(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs);
    ~IntelHexTab() override;

    IntelHexSettings settings() const;
    // Paths are offered in the file lists beside the chosen ones; everything else is shown as it is.
    void showSettings(const IntelHexSettings &settings);
    void loadSettings(QSettings &store);
    void saveSettings(QSettings &store) const;
    TemplateList &templates() { return m_templates; }

    // A "..." button: chooses a source file or the output directory.
    void chooseFile(QObject *button);
    void assemble();

private:
    // One source in join order: root bootloader, firmware bootloader, main application, additional
    // files 1 to 3.
    struct SourceRow {
        QCheckBox *check;
        QGroupBox *group;
        QComboBox *path;
        QAbstractButton *search;
    };

    Ui::MainWindow &ui;
    QWidget *m_window;
    UserDialogs &m_dialogs;
    SourceRow m_rows[6];
    TemplateList m_templates;
};
