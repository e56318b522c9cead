#pragma once

#include <optional>

#include <QPointer>
#include <QString>
#include <QStringList>

#include "mapsource.h"
#include "settingstab.h"
#include "tabsettings.h"

class FlashDialog;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class QTreeWidget;
class QWidget;
class JobRunner;
class UserDialogs;

namespace Ui {
class MainWindow;
}

// The "LoRa" page: three source directories whose files are found by scanning, the offsets, the
// output directory and name template, the build of one image per LoRaMAC and application pair, and
// flashing the image just built.
class LoRaTab : public SettingsTab<LoRaSettings>, public MapSource {
public:
    enum Source { Boot, LoRaMac, App };

    LoRaTab(Ui::MainWindow &ui, QWidget *window, UserDialogs &dialogs, JobRunner &jobs);
    ~LoRaTab() override;

    LoRaSettings settings() const override;
    // Shows the settings and searches the three directories again.
    void showSettings(const LoRaSettings &settings) override;

    // The image its current settings would build, and the flash it is meant for.
    MemoryMapSet memoryMaps() const override;
    QString flashSize() const override { return m_flashSize; }
    void setFlashSize(const QString &size) override { m_flashSize = size; }

    // A "..." button: chooses a source or output directory.
    void chooseDirectory(QObject *button);
    // A ".bin"/".hex" choice of a source, or "Поиск по LoRaMAC": searches that directory again.
    void extensionChosen(Source source);
    void loraMacNameOptionChanged(int state);

    // Builds the images; true when every one was written.
    bool assemble();
    // Flashes the image just built, or a file the user chooses.
    void flash();
    // Builds, and flashes the image when the run built exactly one; otherwise warns that nothing
    // was flashed.
    void assembleAndFlash();

private:
    struct SourceRow {
        QAbstractButton *search;
        QComboBox *directory;
        QTreeWidget *found;
        QAbstractButton *binRadio;
        QAbstractButton *hexRadio;
        QString caption;
        QStringList files = {};   // what the last search accepted, full paths in listing order
        QStringList leftOut = {}; // what it left out, each announced once
    };
    // Which files a search left out are announced: all of them when the user chose the directory
    // or its extension, only the new ones when the directory is looked up again before a build.
    enum class Announce { EveryLeftOut, NewlyLeftOut };

    // Builds the images; the flash button's image is the one built, when there is one.
    std::optional<QStringList> buildImages();
    QString filterOf(Source source) const;
    void search(Source source, const QString &directory, Announce announce = Announce::EveryLeftOut);
    void searchAgain();
    // What "Сборка" asks for first: a directory or the name template left empty; empty when none is.
    QString unsetField() const;
    QString offsetFieldName(const QString &key) const;

    Ui::MainWindow &ui;
    QWidget *m_window;
    UserDialogs &m_dialogs;
    JobRunner &m_jobs;
    SourceRow m_sources[3];
    // The image the flash button programs; empty when it is to ask.
    QString m_lastImagePath;
    QPointer<FlashDialog> m_flashDialog;
    QString m_flashSize; // as config.conf or a template holds it; empty: no limit
};
