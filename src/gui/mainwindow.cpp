#include "mainwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QShortcut>

#include "assemblymessages.h"
#include "binarytab.h"
#include "configfile.h"
#include "converterpanel.h"
#include "intelhextab.h"
#include "jobrunner.h"
#include "keyboardnavigation.h"
#include "loratab.h"
#include "memorymapwindow.h"
#include "platform.h"
#include "settingsfile.h"
#include "ui_mainwindow.h"
#include "userdialogs.h"

MainWindow::MainWindow(UserDialogs &dialogs)
    : QMainWindow(nullptr), ui(std::make_unique<Ui::MainWindow>()), m_dialogs(dialogs)
{
    ui->setupUi(this);
    // Every box and dialog from here on stays in front of this window.
    m_dialogs.setWindow(this);
    resize(WideWidth, WindowHeight);

    m_jobs = std::make_unique<JobRunner>(this, dialogs);
    connect(m_jobs.get(), &JobRunner::idle, this, [this] {
        if (m_closeWhenIdle)
            close();
    });
    m_lora = std::make_unique<LoRaTab>(*ui, this, dialogs, *m_jobs);
    m_binary = std::make_unique<BinaryTab>(*ui, this, dialogs, *m_jobs);
    m_intelHex = std::make_unique<IntelHexTab>(*ui, this, dialogs, *m_jobs);
    m_converter = std::make_unique<ConverterPanel>(*ui, this, dialogs, *m_jobs);

    // In the free place of the bottom row, so that every other widget keeps its place and size.
    m_memoryMapButton = new QPushButton(QStringLiteral("Карта"), ui->centralwidget);
    m_memoryMapButton->setObjectName(QStringLiteral("MemoryMapButton"));
    m_memoryMapButton->setGeometry(294, 584, 93, 30);
    m_memoryMapButton->setToolTip(QStringLiteral("Карта памяти текущей вкладки (CTRL + M)"));
    const QList<MapSource *> sources{m_lora.get(), m_binary.get(), m_intelHex.get()};
    for (int page = 0; page < sources.size(); ++page) {
        sources.at(page)->setOverlapHandler([this, page] {
            if (ui->tabWidget->currentIndex() == page)
                showMemoryMap();
        });
    }

    // Without a file the window still opens, with the values a missing file reads as.
    ConfigFile::ensureExists();
    loadAllSettings();
    m_lora->templates().refresh();
    m_binary->templates().refresh();
    m_intelHex->templates().refresh();

    connectSignals();
    KeyboardNavigation::hideWhatTheWidthClips(ui->tabWidget);
    KeyboardNavigation::orderByReading(
        ui->tabWidget, {ui->Converter2BIN, ui->Converter2IntelHEX, m_memoryMapButton, ui->Reset});
    KeyboardNavigation::pressButtonsOnEnter(this);
}

MainWindow::~MainWindow()
{
    saveAllSettings();
}

void MainWindow::connectSignals()
{
    connectLoRaSignals();
    connectBinarySignals();
    connectIntelHexSignals();
    connectSharedSignals();
}

void MainWindow::connectLoRaSignals()
{
    const auto clicked = &QAbstractButton::clicked;
    const auto pressed = &QAbstractButton::pressed;
    for (auto *radio : {ui->LoRaBINBOOT, ui->LoRaHEXBOOT})
        connect(radio, clicked, this, &MainWindow::LoRa_Enter_BOOT_BIN_HEX);
    for (auto *radio : {ui->LoRaBINLoraMAC, ui->LoRaHEXLoraMAC})
        connect(radio, clicked, this, &MainWindow::LoRa_Enter_LoRaMAC_BIN_HEX);
    for (auto *radio : {ui->LoRaBINApp, ui->LoRaHEXApp})
        connect(radio, clicked, this, &MainWindow::LoRa_Enter_App_BIN_HEX);
    for (auto *button : {ui->LoRaSearchBOOT, ui->LoRaSearchLoraMAC, ui->LoRaSearchApp, ui->LoRaSearchRelease})
        connect(button, pressed, this, &MainWindow::LoRa_Search_Open);
    connect(ui->LoRaLoRaMACInName, &QCheckBox::stateChanged, this, &MainWindow::LoRaMAC_Name_Check);
    connect(ui->LoRaAssembling, clicked, this, &MainWindow::LoRa_Start_Assembler);
    connect(ui->LoRaListFileSettings, &QListWidget::itemDoubleClicked, this,
            &MainWindow::LoRa_Load_Template_Config);
    connect(ui->LoRaSaveSettings, clicked, this, &MainWindow::LoRa_Button_Save_Setting);
    connect(ui->LoRaRunFirmware, clicked, this, &MainWindow::LoRa_Start_Firmware);
    connect(ui->LoRaListFileSettings, &QListWidget::itemClicked, this, &MainWindow::LoRa_Enter_Settings_File);
}

void MainWindow::connectBinarySignals()
{
    const auto clicked = &QAbstractButton::clicked;
    const auto pressed = &QAbstractButton::pressed;
    for (auto *button : {ui->BinarySearchButtonFile1, ui->BinarySearchButtonFile2,
                         ui->BinarySearchButtonFile3, ui->BinarySearchButtonFile4,
                         ui->BinarySearchButtonFile5, ui->BinarySearchButtonFile6, ui->BinarySearchRelesae})
        connect(button, pressed, this, &MainWindow::Binary_Search_Open);
    for (auto *radio :
         {ui->BinaryBINFile1, ui->BinaryHEXFile1, ui->BinaryBINFile2, ui->BinaryHEXFile2, ui->BinaryBINFile3,
          ui->BinaryHEXFile3, ui->BinaryBINFile4, ui->BinaryHEXFile4, ui->BinaryBINFile5, ui->BinaryHEXFile5,
          ui->BinaryBINFile6, ui->BinaryHEXFile6, ui->BinaryBINRelease, ui->BinaryHEXRelease})
        connect(radio, clicked, this, &MainWindow::Binary_Enter_BIN_HEX_File);
    connect(ui->BinaryAssembling, clicked, this, &MainWindow::Binary_Start_Assembling);
    connect(ui->BinarySaveSettings, clicked, this, &MainWindow::Binary_Button_Save_Setting);
    connect(ui->BinaryListFileSettings, &QListWidget::itemDoubleClicked, this,
            &MainWindow::Binary_Load_Template_Config);
    connect(ui->BinaryListFileSettings, &QListWidget::itemClicked, this,
            &MainWindow::Binary_Enter_Settings_File);
}

void MainWindow::connectIntelHexSignals()
{
    const auto clicked = &QAbstractButton::clicked;
    const auto pressed = &QAbstractButton::pressed;
    for (auto *button : {ui->IntelHEXSearchBOOT, ui->IntelHEXSearchBOOTApp, ui->IntelHEXSearchApp,
                         ui->IntelHEXSearchAddictFile1, ui->IntelHEXSearchAddictFile2,
                         ui->IntelHEXSearchAddictFile3, ui->IntelHEXSearchReleaseButton})
        connect(button, pressed, this, &MainWindow::IntelHEX_Search_Open);
    connect(ui->IntelHEXSaveSettings, clicked, this, &MainWindow::IntelHEX_Button_Save_Setting);
    connect(ui->IntelHEXAssebling, clicked, this, &MainWindow::IntelHEX_Start_Assembling);
    connect(ui->IntelHEXListFileSettings, &QListWidget::itemDoubleClicked, this,
            &MainWindow::IntelHEX_Load_Template_Config);
    connect(ui->IntelHEXListFileSettings, &QListWidget::itemClicked, this,
            &MainWindow::IntelHEX_Enter_Settings_File);
}

// What every tab shares: reset, the menu buttons, the shortcuts, the memory map and the release lists.
void MainWindow::connectSharedSignals()
{
    const auto clicked = &QAbstractButton::clicked;
    const auto pressed = &QAbstractButton::pressed;
    connect(ui->Reset, clicked, this, &MainWindow::Reset_All);
    connect(ui->OpenAdvancedSettings, pressed, this, &MainWindow::Open_advanced_setting);
    connect(ui->BinaryExtendedAssembly, pressed, this, &MainWindow::Extended_Assembly);
    connect(ui->IntelHEXExtendedAssembly, pressed, this, &MainWindow::Extended_Assembly);
    connect(ui->tabWidget, &QTabWidget::tabBarClicked, this, &MainWindow::TabBar_Click_Page);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this), &QShortcut::activated, this,
            &MainWindow::Key_Assembling);
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_G), this), &QShortcut::activated, this,
            &MainWindow::Key_Assembling_Firmware);
    connect(m_memoryMapButton, clicked, this, &MainWindow::showMemoryMap);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this), &QShortcut::activated, this,
            &MainWindow::showMemoryMap);
    connect(ui->Converter2BIN, pressed, this, &MainWindow::Start_convert);
    connect(ui->Converter2IntelHEX, pressed, this, &MainWindow::Start_convert);
    for (auto *list : {ui->LoRaComboRelease, ui->BinaryReleaseCombo, ui->IntelHEXReleaseDirrect})
        connect(list, &QListWidget::itemDoubleClicked, this, &MainWindow::Open_Folder);
}

void MainWindow::showMemoryMap()
{
    if (!m_memoryMap)
        m_memoryMap = std::make_unique<MemoryMapWindow>(
            ui->tabWidget, QList<MapSource *>{m_lora.get(), m_binary.get(), m_intelHex.get()});
    m_memoryMap->showFor(this);
}

void MainWindow::loadAllSettings()
{
    SettingsFile::Reader reader(ConfigFile::defaultPath());
    if (!reader.problem().isEmpty())
        m_dialogs.message(
            MessageKind::Warning, ReportTitle::warning(),
            QStringLiteral("%1: настройки не прочитаны: %2. Окно открыто с настройками по "
                           "умолчанию, а файл останется как есть.")
                .arg(QDir::toNativeSeparators(QFileInfo(ConfigFile::defaultPath()).absoluteFilePath()),
                     reader.problem()));
    QSettings &store = reader.store();
    m_lora->resetSettings(store);
    m_binary->resetSettings(store);
    m_intelHex->resetSettings(store);
    const int tab = ConfigFile::loadTab(store);
    ui->tabWidget->setCurrentIndex(tab >= 0 && tab < ui->tabWidget->count() ? tab : 0);
}

void MainWindow::saveAllSettings()
{
    // At exit nobody is left to tell; a failed write keeps the previous file whole.
    SettingsFile::update(ConfigFile::defaultPath(), [this](QSettings &store) {
        m_lora->saveSettings(store);
        m_binary->saveSettings(store);
        m_intelHex->saveSettings(store);
        ConfigFile::saveTab(store, ui->tabWidget->currentIndex());
    });
}

void MainWindow::Reset_All()
{
    const bool confirmed = m_dialogs.ask(ReportTitle::warning(),
                                         QStringLiteral("Вы уверенны, что хотите сбросить все настройки? Для "
                                                        "всех вариантов сбрасываются все текущие настроки "
                                                        "для записи"));
    if (!confirmed)
        return;
    ConfigFile::remove();
    ConfigFile::ensureExists();
    loadAllSettings();
}

void MainWindow::toggleWidth()
{
    QString extendedCaption;
    QString offsetsCaption;
    if (width() == WideWidth) {
        setFixedWidth(NarrowWidth);
        extendedCaption = QStringLiteral("Расширенная сборка >>");
        offsetsCaption = QStringLiteral("Настройка смещений записи >>");
    } else if (width() == NarrowWidth) {
        setFixedWidth(WideWidth);
        extendedCaption = QStringLiteral("Расширенная сборка <<");
        offsetsCaption = QStringLiteral("Настройка смещений записи <<");
    } else {
        return;
    }
    ui->BinaryExtendedAssembly->setText(extendedCaption);
    ui->IntelHEXExtendedAssembly->setText(extendedCaption);
    ui->OpenAdvancedSettings->setText(offsetsCaption);
}

void MainWindow::Open_advanced_setting()
{
    toggleWidth();
}

void MainWindow::Extended_Assembly()
{
    toggleWidth();
}

void MainWindow::TabBar_Click_Page(int Page)
{
    if (width() == NarrowWidth)
        return;
    if (Page >= 0 && Page <= 2)
        setFixedWidth(WideWidth);
}

bool MainWindow::jobRunning() const
{
    return m_jobs->isBusy();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!jobRunning()) {
        QMainWindow::closeEvent(event);
        return;
    }
    m_closeWhenIdle = true;
    m_jobs->cancel();
    event->ignore();
}

void MainWindow::Key_Assembling()
{
    if (jobRunning())
        return;
    switch (ui->tabWidget->currentIndex()) {
    case 0:
        LoRa_Start_Assembler();
        break;
    case 1:
        Binary_Start_Assembling();
        break;
    case 2:
        IntelHEX_Start_Assembling();
        break;
    default:
        break;
    }
}

void MainWindow::Open_Folder(QListWidgetItem *Item)
{
    if (!Item)
        return;
    const QString folder = Item->text();
    if (!QFileInfo(folder).isDir()) {
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(),
                          AssemblyText::missingDirectory(folder));
        return;
    }
    if (!Platform::showFolder(folder))
        m_dialogs.message(MessageKind::Warning, ReportTitle::warning(),
                          QStringLiteral("Не удалось открыть папку %1: файловый менеджер не запускается.")
                              .arg(QDir::toNativeSeparators(QDir(folder).absolutePath())));
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // No layout managers: the tab widget follows the window's width so that the extension panels
    // beyond the narrow width are hidden behind its edge, and "Сбросить все" stays at the right.
    const int margin = ui->tabWidget->x();
    ui->tabWidget->resize(event->size().width() - 2 * margin, ui->tabWidget->height());
    ui->Reset->move(event->size().width() - margin - ui->Reset->width(), ui->Reset->y());
}

// The slots of the tabs and the converter: each hands the work to its class.

void MainWindow::Key_Assembling_Firmware()
{
    if (jobRunning())
        return;
    // Alt+G programs the LoRa tab's image: from another tab the user sees that tab and agrees first.
    if (ui->tabWidget->currentIndex() != LoRaPage) {
        ui->tabWidget->setCurrentIndex(LoRaPage);
        if (!m_dialogs.ask(ReportTitle::warning(), QStringLiteral("Собрать и прошить образ вкладки LoRa?")))
            return;
    }
    m_lora->assembleAndFlash();
}

void MainWindow::Start_convert()
{
    if (!jobRunning())
        m_converter->convert(sender());
}

void MainWindow::LoRa_Search_Open()
{
    m_lora->chooseDirectory(sender());
}

void MainWindow::LoRa_Load_Template_Config(QListWidgetItem *FileSettings)
{
    m_lora->templates().load(FileSettings);
}

void MainWindow::LoRa_Enter_BOOT_BIN_HEX()
{
    m_lora->extensionChosen(LoRaTab::Boot);
}

void MainWindow::LoRa_Enter_LoRaMAC_BIN_HEX()
{
    m_lora->extensionChosen(LoRaTab::LoRaMac);
}

void MainWindow::LoRa_Enter_App_BIN_HEX()
{
    m_lora->extensionChosen(LoRaTab::App);
}

void MainWindow::LoRaMAC_Name_Check(int state)
{
    m_lora->loraMacNameOptionChanged(state);
}

void MainWindow::LoRa_Start_Assembler()
{
    if (!jobRunning())
        m_lora->assemble();
}

void MainWindow::LoRa_Button_Save_Setting()
{
    m_lora->templates().save();
}

void MainWindow::LoRa_Start_Firmware()
{
    if (!jobRunning())
        m_lora->flash();
}

void MainWindow::LoRa_Enter_Settings_File(QListWidgetItem *item)
{
    m_lora->templates().select(item);
}

void MainWindow::Binary_Search_Open()
{
    m_binary->chooseFile(sender());
}

void MainWindow::Binary_Enter_BIN_HEX_File()
{
    // The ".bin"/".hex" choices are read where they matter: by the file chooser and by the build.
}

void MainWindow::Binary_Start_Assembling()
{
    if (!jobRunning())
        m_binary->assemble();
}

void MainWindow::Binary_Load_Template_Config(QListWidgetItem *item)
{
    m_binary->templates().load(item);
}

void MainWindow::Binary_Button_Save_Setting()
{
    m_binary->templates().save();
}

void MainWindow::Binary_Enter_Settings_File(QListWidgetItem *item)
{
    m_binary->templates().select(item);
}

void MainWindow::IntelHEX_Search_Open()
{
    m_intelHex->chooseFile(sender());
}

void MainWindow::IntelHEX_Button_Save_Setting()
{
    m_intelHex->templates().save();
}

void MainWindow::IntelHEX_Start_Assembling()
{
    if (!jobRunning())
        m_intelHex->assemble();
}

void MainWindow::IntelHEX_Load_Template_Config(QListWidgetItem *item)
{
    m_intelHex->templates().load(item);
}

void MainWindow::IntelHEX_Enter_Settings_File(QListWidgetItem *item)
{
    m_intelHex->templates().select(item);
}
