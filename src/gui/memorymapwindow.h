#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

#include "memorymap.h"

class MapSource;
class MemoryMapBar;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

// "Карта памяти": the image the current tab would build, drawn and listed region by region, with
// the flash it is meant for. It follows the tab as the user edits it (offsets, files, check boxes),
// without a build, and writes nothing: only the flash size chosen here reaches the tab's settings.
class MemoryMapWindow : public QWidget {
public:
    // `sources` in the order of the tab widget's pages; each page's widgets are watched for changes.
    MemoryMapWindow(QTabWidget *tabs, const QList<MapSource *> &sources);

    // Shows the current tab's map beside `beside` and raises it.
    void showFor(QWidget *beside);
    // Reads the current tab again and redraws.
    void refresh();

private:
    void createFlashWidgets();
    void createMapWidgets();
    void layOut();
    // Follows the tabs' edits and this window's own fields.
    void connectSignals();
    // The shown image's table, tab-separated, to the clipboard.
    void copyTable();
    MapSource *currentSource() const;
    void watch(QWidget *page);
    void scheduleRefresh();
    void showMap(int index);
    void flashSizeEdited(const QString &text);
    void flashBaseEdited(const QString &text);
    void showFlashOfSource();
    void judgeFlashSize(const QString &text);

    QTabWidget *m_tabs;
    QList<MapSource *> m_sources;
    MemoryMapSet m_maps;
    QTimer m_refreshTimer;

    QComboBox *m_flashSize;
    QLabel *m_flashBaseLabel;
    QLineEdit *m_flashBase;
    QLabel *m_flashError;
    QLabel *m_flashUnderstood;
    QComboBox *m_image;
    QLabel *m_summary;
    MemoryMapBar *m_bar;
    QTableWidget *m_table;
    QLabel *m_problems;
    QPushButton *m_copy;
};
