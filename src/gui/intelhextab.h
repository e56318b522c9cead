#pragma once

#include "mapsource.h"
#include "settingstab.h"
#include "tabsettings.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QWidget;
class JobRunner;
class UserDialogs;

namespace Ui {
class MainWindow;
}

// The "IntelHEX" page: up to six Intel HEX files, each ticked to take part, joined in a fixed order
// into one HEX file named by the template.
class IntelHexTab : public SettingsTab<IntelHexSettings>, public MapSource {
public:
    IntelHexTab(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs);
    ~IntelHexTab() override;

    IntelHexSettings settings() const override;
    // The settings' files become current; the files shown before stay offered in the lists.
    void showSettings(const IntelHexSettings &settings) override;

    // The image its current settings would build, and the flash it is meant for.
    MemoryMapSet memoryMaps() const override;
    QString flashSize() const override { return m_flashSize; }
    void setFlashSize(const QString &size) override { m_flashSize = size; }
    bool hasFlashBase() const override { return true; }
    QString flashBase() const override { return m_flashBase; }
    void setFlashBase(const QString &base) override { m_flashBase = base; }

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

    void forgetPaths() override;
    // What "Сборка" asks for first: a ticked file, the directory or the name left empty; empty
    // when none is.
    QString unsetField() const;

    Ui::MainWindow &ui;
    QWidget *m_window;
    UserDialogs &m_dialogs;
    JobRunner &m_jobs;
    SourceRow m_rows[6];
    QString m_flashSize; // as config.conf or a template holds it; empty: no limit
    QString m_flashBase;
};
