#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

// --- flashing (programmer/mainwindow_programmer.cpp) ---
#include "programmer/programmercommands.h"
// --- end flashing ---

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QSettings;
class QShortcut;
class QTreeWidget;
class QTreeWidgetItem;
class UserDialogs;
struct LoRaSettings;
struct BinarySettings;
struct IntelHexSettings;
enum class TemplateKind;

namespace Ui {
class MainWindow;
}

// The application's only window. One class spread over one source file per subsystem:
// mainwindow.cpp (construction and the shell), discovery/mainwindow_discovery.cpp,
// settings/mainwindow_settings.cpp, assembly/mainwindow_assembly.cpp, hex/mainwindow_hex.cpp and
// programmer/mainwindow_programmer.cpp. Slots gather widget values, call the core and show what it
// reports through the dialog seam.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int NarrowWidth = 535;
    static constexpr int WideWidth = 955;
    static constexpr int WindowHeight = 620;

    // The dialogs are owned by the caller and must outlive the window.
    explicit MainWindow(UserDialogs &dialogs);
    ~MainWindow() override;

    UserDialogs &dialogs() const { return m_dialogs; }

public slots:
    void Reset_All();
    void Open_advanced_setting();
    void Extended_Assembly();
    void TabBar_Click_Page(int Page);
    void Key_Assembling();
    void Key_Assembling_Firmware();
    void Open_Folder(QListWidgetItem *Item);
    void Start_convert();
    void LoRa_Search_Open();
    void LoRa_Load_Template_Config(QListWidgetItem *FileSettings);
    void LoRa_Enter_BOOT_BIN_HEX();
    void LoRa_Enter_LoRaMAC_BIN_HEX();
    void LoRa_Enter_App_BIN_HEX();
    void LoRaMAC_Name_Check(int state);
    void LoRa_Start_Assembler();
    void LoRa_Button_Save_Setting();
    void LoRa_Start_Firmware();
    void LoRa_Enter_Settings_File(QListWidgetItem *item);
    void Binary_Search_Open();
    void Binary_Enter_BIN_HEX_File();
    void Binary_Start_Assembling();
    void Binary_Load_Template_Config(QListWidgetItem *item);
    void Binary_Button_Save_Setting();
    void Binary_Enter_Settings_File(QListWidgetItem *item);
    void IntelHEX_Search_Open();
    void IntelHEX_Button_Save_Setting();
    void IntelHEX_Start_Assembling();
    void IntelHEX_Load_Template_Config(QListWidgetItem *item);
    void IntelHEX_Enter_Settings_File(QListWidgetItem *item);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Construction steps (mainwindow.cpp).
    void prepareLoRaTab();
    void connectLoRaTab();
    void prepareBinaryTab();
    void connectBinaryTab();
    void prepareIntelHexTab();
    void connectIntelHexTab();
    void connectShell();
    void toggleWidth();

    // Discovery (discovery/mainwindow_discovery.cpp).
    void scanSourceDirectory(const QString &directory, const QString &nameFilter, QTreeWidget *tree,
                             QStringList &paths);

    // --- Assembly (assembly/mainwindow_assembly.cpp) ---
    // The LoRa run behind LoRa_Start_Assembler; true when every image was written (assemble-and-flash
    // flashes only then).
    bool assembleLoRa();
    // --- end of assembly ---

    // Settings and templates (settings/mainwindow_settings.cpp).
    void ensureConfigurationFile();
    void loadAllSettings();
    void saveAllSettings();
    void refreshTemplateLists();
    // The per-tab transfer between the widgets and an open store (config.conf or a template).
    LoRaSettings currentLoRaSettings() const;
    void showLoRaSettings(const LoRaSettings &settings);
    BinarySettings currentBinarySettings() const;
    void showBinarySettings(const BinarySettings &settings);
    IntelHexSettings currentIntelHexSettings() const;
    void showIntelHexSettings(const IntelHexSettings &settings);
    void loadLoRaSettings(QSettings &store);
    void saveLoRaSettings(QSettings &store) const;
    void loadBinarySettings(QSettings &store);
    void saveBinarySettings(QSettings &store) const;
    void loadIntelHexSettings(QSettings &store);
    void saveIntelHexSettings(QSettings &store) const;
    void saveTemplate(TemplateKind kind);
    void selectTemplate(TemplateKind kind, QListWidgetItem *item);
    void loadTemplate(TemplateKind kind, QListWidgetItem *item);
    void refreshTemplateList(TemplateKind kind);
    QListWidget *templateList(TemplateKind kind) const;
    QLineEdit *templateNameEdit(TemplateKind kind) const;

    Ui::MainWindow *ui;
    UserDialogs &m_dialogs;
    QShortcut *m_assembleShortcut = nullptr;
    QShortcut *m_assembleAndFlashShortcut = nullptr;

    // LoRa sources found by the last scan of each directory, full paths in scan order.
    QStringList bootFiles;
    QStringList loraMacFiles;
    QStringList appFiles;
    // Name filters of the three LoRa sources ("*.bin", "*.hex", "*LoraMAC*" in front for LoRaMAC).
    QString bootFilter = QStringLiteral("*.bin");
    QString loraMacFilter = QStringLiteral("*.hex");
    QString appFilter = QStringLiteral("*.bin");
    QTreeWidgetItem *currentTreeItem = nullptr;

    // Per Binary slot the file filter and the last path chosen; the output extension pattern.
    QStringList binaryFilters;
    QStringList binarySelectedPaths;
    QString binaryReleaseFilter = QStringLiteral("*.bin");
    // Per IntelHEX slot the last path chosen.
    QStringList intelHexSelectedPaths;

    // The selection boxes of the Binary and IntelHEX tabs in source order, with the row each enables.
    QList<QCheckBox *> binaryChecks;
    QList<QGroupBox *> binaryRows;
    QList<QCheckBox *> intelHexChecks;
    QList<QGroupBox *> intelHexRows;

    // The output name of the LoRa pair being assembled, and the image the flash button programs.
    QString releaseBaseName;
    QString lastImagePath;

    // How long a conversion runs before its progress dialog is made; a quick one shows none.
    int conversionProgressDelayMs = 400;

    // --- flashing (programmer/mainwindow_programmer.cpp) ---
    // How long each programmer run may take; shortened by the tests.
    ProgrammerTimeouts programmerTimeouts;
    // --- end flashing ---

    friend class MainWindowTestAccess;
};
