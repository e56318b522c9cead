#include "mainwindow/mainwindow.h"

#include <QFile>
#include <QKeySequence>
#include <QResizeEvent>
#include <QShortcut>

#include "mainwindow/userdialogs.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

MainWindow::MainWindow(UserDialogs &dialogs)
    : QMainWindow(nullptr), ui(new Ui::MainWindow), m_dialogs(dialogs)
{
    for (int slot = 0; slot < 6; ++slot) {
        binaryFilters << QStringLiteral("*.bin");
        binarySelectedPaths << QString();
        intelHexSelectedPaths << QString();
    }
    binaryFilters[2] = QStringLiteral("*.hex"); // matches the one checked ".hex" radio of "Файл 3"

    ui->setupUi(this);
    resize(WideWidth, WindowHeight);

    prepareLoRaTab();
    connectLoRaTab();
    prepareBinaryTab();
    connectBinaryTab();
    prepareIntelHexTab();
    connectIntelHexTab();

    ensureConfigurationFile();
    loadAllSettings();
    refreshTemplateLists();

    m_assembleShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this);
    m_assembleAndFlashShortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_G), this);
    connectShell();
}

MainWindow::~MainWindow()
{
    saveAllSettings();
    delete ui;
}

void MainWindow::prepareLoRaTab()
{
    const QString shortcutHint =
        QStringLiteral("CTRL + G - Сборка, \n"
                       "ALT + G - Сборка и прошивка(только с одним выходным файлом)");
    ui->LoRaAssembling->setToolTip(shortcutHint);
    ui->LoRaRunFirmware->setToolTip(shortcutHint);
    ui->LoRaLoRaMACInName->setText(QString());
    ui->Converter_3->setEnabled(false);
}

void MainWindow::connectLoRaTab()
{
    for (auto *radio : {ui->LoRaBINBOOT, ui->LoRaHEXBOOT})
        connect(radio, &QAbstractButton::clicked, this, &MainWindow::LoRa_Enter_BOOT_BIN_HEX);
    for (auto *radio : {ui->LoRaBINLoraMAC, ui->LoRaHEXLoraMAC})
        connect(radio, &QAbstractButton::clicked, this, &MainWindow::LoRa_Enter_LoRaMAC_BIN_HEX);
    for (auto *radio : {ui->LoRaBINApp, ui->LoRaHEXApp})
        connect(radio, &QAbstractButton::clicked, this, &MainWindow::LoRa_Enter_App_BIN_HEX);
    for (auto *button : {ui->LoRaSearchBOOT, ui->LoRaSearchLoraMAC, ui->LoRaSearchApp, ui->LoRaSearchRelease})
        connect(button, &QAbstractButton::pressed, this, &MainWindow::LoRa_Search_Open);
    connect(ui->LoRaLoRaMACInName, &QCheckBox::stateChanged, this, &MainWindow::LoRaMAC_Name_Check);
    connect(ui->LoRaAssembling, &QAbstractButton::clicked, this, &MainWindow::LoRa_Start_Assembler);
    connect(ui->Reset, &QAbstractButton::clicked, this, &MainWindow::Reset_All);
    connect(ui->LoRaListFileSettings, &QListWidget::itemDoubleClicked, this,
            &MainWindow::LoRa_Load_Template_Config);
    connect(ui->LoRaSaveSettings, &QAbstractButton::clicked, this, &MainWindow::LoRa_Button_Save_Setting);
    connect(ui->LoRaRunFirmware, &QAbstractButton::clicked, this, &MainWindow::LoRa_Start_Firmware);
    connect(ui->LoRaListFileSettings, &QListWidget::itemClicked, this, &MainWindow::LoRa_Enter_Settings_File);
}

void MainWindow::prepareBinaryTab()
{
    binaryChecks = {ui->BinaryCheckFile1, ui->BinaryCheckFile2, ui->BinaryCheckFile3,
                    ui->BinaryCheckFile4, ui->BinaryCheckFile5, ui->BinaryCheckFile6};
    binaryRows = {ui->File1Group, ui->File2Group, ui->File3Group,
                  ui->File4Group, ui->File5Group, ui->File6Group};
}

void MainWindow::connectBinaryTab()
{
    for (auto *button : {ui->BinarySearchButtonFile1, ui->BinarySearchButtonFile2,
                         ui->BinarySearchButtonFile3, ui->BinarySearchButtonFile4,
                         ui->BinarySearchButtonFile5, ui->BinarySearchButtonFile6, ui->BinarySearchRelesae})
        connect(button, &QAbstractButton::pressed, this, &MainWindow::Binary_Search_Open);
    for (auto *radio :
         {ui->BinaryBINFile1, ui->BinaryHEXFile1, ui->BinaryBINFile2, ui->BinaryHEXFile2, ui->BinaryBINFile3,
          ui->BinaryHEXFile3, ui->BinaryBINFile4, ui->BinaryHEXFile4, ui->BinaryBINFile5, ui->BinaryHEXFile5,
          ui->BinaryBINFile6, ui->BinaryHEXFile6, ui->BinaryBINRelease, ui->BinaryHEXRelease})
        connect(radio, &QAbstractButton::clicked, this, &MainWindow::Binary_Enter_BIN_HEX_File);
    connect(ui->BinaryAssembling, &QAbstractButton::clicked, this, &MainWindow::Binary_Start_Assembling);
    connect(ui->BinarySaveSettings, &QAbstractButton::clicked, this, &MainWindow::Binary_Button_Save_Setting);
    connect(ui->BinaryListFileSettings, &QListWidget::itemDoubleClicked, this,
            &MainWindow::Binary_Load_Template_Config);
    connect(ui->BinaryListFileSettings, &QListWidget::itemClicked, this,
            &MainWindow::Binary_Enter_Settings_File);
    // A file row is usable exactly when it takes part in the assembly.
    for (int slot = 0; slot < binaryChecks.size(); ++slot)
        connect(binaryChecks[slot], &QAbstractButton::toggled, binaryRows[slot], &QWidget::setEnabled);
}

void MainWindow::prepareIntelHexTab()
{
    intelHexChecks = {ui->IntelHEXCheckBOOT,  ui->IntelHEXCheckBOOT2, ui->IntelHEXCheckApp,
                      ui->IntelHEXCheckFile1, ui->IntelHEXCheckFile2, ui->IntelHEXCheckFile3};
    intelHexRows = {ui->IntelHEXBOOT,
                    ui->IntelHEXAppBOOT,
                    ui->IntelHEXMainGroup,
                    ui->IntelHEXAdditionalFile1,
                    ui->IntelHEXAdditionalFile2,
                    ui->IntelHEXAdditionalFile3};
}

void MainWindow::connectIntelHexTab()
{
    for (auto *button : {ui->IntelHEXSearchBOOT, ui->IntelHEXSearchBOOTApp, ui->IntelHEXSearchApp,
                         ui->IntelHEXSearchAddictFile1, ui->IntelHEXSearchAddictFile2,
                         ui->IntelHEXSearchAddictFile3, ui->IntelHEXSearchReleaseButton})
        connect(button, &QAbstractButton::pressed, this, &MainWindow::IntelHEX_Search_Open);
    connect(ui->IntelHEXSaveSettings, &QAbstractButton::clicked, this,
            &MainWindow::IntelHEX_Button_Save_Setting);
    connect(ui->IntelHEXAssebling, &QAbstractButton::clicked, this, &MainWindow::IntelHEX_Start_Assembling);
    connect(ui->IntelHEXListFileSettings, &QListWidget::itemDoubleClicked, this,
            &MainWindow::IntelHEX_Load_Template_Config);
    connect(ui->IntelHEXListFileSettings, &QListWidget::itemClicked, this,
            &MainWindow::IntelHEX_Enter_Settings_File);
    for (int slot = 0; slot < intelHexChecks.size(); ++slot)
        connect(intelHexChecks[slot], &QAbstractButton::toggled, intelHexRows[slot], &QWidget::setEnabled);
}

void MainWindow::connectShell()
{
    connect(ui->OpenAdvancedSettings, &QAbstractButton::pressed, this, &MainWindow::Open_advanced_setting);
    connect(ui->BinaryExtendedAssembly, &QAbstractButton::pressed, this, &MainWindow::Extended_Assembly);
    connect(ui->IntelHEXExtendedAssembly, &QAbstractButton::pressed, this, &MainWindow::Extended_Assembly);
    connect(ui->tabWidget, &QTabWidget::tabBarClicked, this, &MainWindow::TabBar_Click_Page);
    connect(m_assembleShortcut, &QShortcut::activated, this, &MainWindow::Key_Assembling);
    connect(m_assembleAndFlashShortcut, &QShortcut::activated, this, &MainWindow::Key_Assembling_Firmware);
    connect(ui->Converter2BIN, &QAbstractButton::pressed, this, &MainWindow::Start_convert);
    connect(ui->Converter2IntelHEX, &QAbstractButton::pressed, this, &MainWindow::Start_convert);
    for (auto *list : {ui->LoRaComboRelease, ui->BinaryReleaseCombo, ui->IntelHEXReleaseDirrect})
        connect(list, &QListWidget::itemDoubleClicked, this, &MainWindow::Open_Folder);
}

void MainWindow::Reset_All()
{
    const bool confirmed = m_dialogs.ask(ReportTitle::warning(),
                                         QStringLiteral("Вы уверенны, что хотите сбросить все настройки? Для "
                                                        "всех вариантов сбрасываются все текущие настроки "
                                                        "для записи"));
    if (!confirmed)
        return;
    QFile::remove(QStringLiteral("./config.conf"));
    ensureConfigurationFile();
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

void MainWindow::Key_Assembling()
{
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
    if (Item)
        Platform::showFolder(Item->text());
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
