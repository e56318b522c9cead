#pragma once

#include <memory>

#include <QMainWindow>

class BinaryTab;
class ConverterPanel;
class IntelHexTab;
class JobRunner;
class LoRaTab;
class MemoryMapWindow;
class QPushButton;
class QListWidgetItem;
class UserDialogs;

namespace Ui {
class MainWindow;
}

// The application's only window: the shell around the three tabs and the converter buttons. It
// builds the widget tree, loads config.conf into the tabs and saves it back, widens and narrows the
// window, binds the shortcuts and resets the settings. Its slots carry the names the program has
// always had; those of a tab hand the work to that tab's class.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int NarrowWidth = 535;
    static constexpr int WideWidth = 955;
    static constexpr int WindowHeight = 620;
    static constexpr int LoRaPage = 0;

    // The dialogs are owned by the caller and must outlive the window.
    explicit MainWindow(UserDialogs &dialogs);
    ~MainWindow() override;

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
    // While a job runs the window stays: the job is cancelled and the window closes once it ended.
    void closeEvent(QCloseEvent *event) override;

private:
    // Each tab's widgets to its slots, then what the tabs share.
    void connectSignals();
    void connectLoRaSignals();
    void connectBinarySignals();
    void connectIntelHexSignals();
    void connectSharedSignals();
    // "Карта памяти" (button and Ctrl+M): the current tab's map, in a window of its own beside this one.
    void showMemoryMap();
    void toggleWidth();
    // config.conf in the working directory, through the tabs' own transfers. Loading shows the
    // file as a first start does, whatever the tabs showed before (start-up and "Сбросить все").
    void loadAllSettings();
    void saveAllSettings();
    // One job at a time: a click that would start another while one runs does nothing.
    bool jobRunning() const;

    std::unique_ptr<Ui::MainWindow> ui;
    UserDialogs &m_dialogs;
    std::unique_ptr<JobRunner> m_jobs;
    bool m_closeWhenIdle = false;
    std::unique_ptr<LoRaTab> m_lora;
    std::unique_ptr<BinaryTab> m_binary;
    std::unique_ptr<IntelHexTab> m_intelHex;
    std::unique_ptr<ConverterPanel> m_converter;
    QPushButton *m_memoryMapButton = nullptr;
    // Made when first shown; it watches the tabs, so it goes before them.
    std::unique_ptr<MemoryMapWindow> m_memoryMap;
};
