#pragma once

#include "mapsource.h"
#include "settingstab.h"
#include "tabsettings.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class JobRunner;
class QWidget;
class UserDialogs;

namespace Ui {
class MainWindow;
}

// The "Binary" page: up to six files, each ticked to take part, placed at their own offsets or one
// after another, into one image named by the template with the chosen extension.
class BinaryTab : public SettingsTab<BinarySettings>, public MapSource {
public:
    BinaryTab(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs);
    ~BinaryTab() override;

    BinarySettings settings() const override;
    // The settings' files become current; the files shown before stay offered in the lists.
    void showSettings(const BinarySettings &settings) override;

    // The image its current settings would build, and the flash it is meant for.
    MemoryMapSet memoryMaps() const override;
    QString flashSize() const override { return m_flashSize; }
    void setFlashSize(const QString &size) override { m_flashSize = size; }

    // A "..." button: chooses a piece or the output directory.
    void chooseFile(QObject *button);
    void assemble();

private:
    struct FileRow {
        QCheckBox *check;
        QGroupBox *group;
        QComboBox *path;
        QLineEdit *offset;
        QAbstractButton *binRadio;
        QAbstractButton *hexRadio;
        QAbstractButton *search;
    };

    void forgetPaths() override;
    static void showExtensionOf(const FileRow &row);
    void enableOffsets();
    // What "Сборка" asks for first: a ticked file, the directory or the name left empty; empty
    // when none is.
    QString unsetField() const;
    QString offsetFieldName(const QString &key) const;

    Ui::MainWindow &ui;
    QWidget *m_window;
    UserDialogs &m_dialogs;
    JobRunner &m_jobs;
    FileRow m_rows[6];
    QString m_flashSize; // as config.conf or a template holds it; empty: no limit
};
