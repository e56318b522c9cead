#include "mainwindow/mainwindow.h"

#include <QDir>
#include <QSettings>

#include "mainwindow/userdialogs.h"
#include "settings/configfile.h"
#include "settings/settingsfile.h"
#include "settings/tabsettings.h"
#include "settings/templatestore.h"
#include "ui_mainwindow.h"

namespace {

// Source combos of the Binary and IntelHEX tabs offer every path loaded so far; the new one is
// appended and becomes current only when the combo was empty.
void appendItem(QComboBox *combo, const QString &text)
{
    combo->addItem(text);
}

void replaceItems(QComboBox *combo, const QString &text)
{
    combo->clear();
    combo->addItem(text);
}

void replaceRows(QListWidget *list, const QString &text)
{
    list->clear();
    list->addItem(text);
}

QString firstRow(const QListWidget *list)
{
    return list->count() > 0 ? list->item(0)->text() : QString();
}

TemplateStore workingDirectoryTemplates()
{
    return TemplateStore(QDir::currentPath());
}

} // namespace

void MainWindow::ensureConfigurationFile()
{
    // Without a file the window still opens, with the values a missing file reads as.
    ConfigFile::ensureExists(ConfigFile::defaultPath());
}

void MainWindow::loadAllSettings()
{
    SettingsFile::Reader reader(ConfigFile::defaultPath());
    QSettings &store = reader.store();
    loadLoRaSettings(store);
    loadBinarySettings(store);
    loadIntelHexSettings(store);
    const int tab = ConfigFile::loadTab(store);
    ui->tabWidget->setCurrentIndex(tab >= 0 && tab < ui->tabWidget->count() ? tab : 0);
}

void MainWindow::saveAllSettings()
{
    // At exit nobody is left to tell; a failed write keeps the previous file whole.
    SettingsFile::update(ConfigFile::defaultPath(), [this](QSettings &store) {
        saveLoRaSettings(store);
        saveBinarySettings(store);
        saveIntelHexSettings(store);
        ConfigFile::saveTab(store, ui->tabWidget->currentIndex());
    });
}

void MainWindow::refreshTemplateLists()
{
    for (TemplateKind kind : {TemplateKind::LoRa, TemplateKind::Binary, TemplateKind::IntelHex})
        refreshTemplateList(kind);
}

LoRaSettings MainWindow::currentLoRaSettings() const
{
    LoRaSettings settings;
    settings.pathToBoot = ui->LoRaComboBOOT->currentText();
    settings.pathToLoRa = ui->LoRaComboLoraMAC->currentText();
    settings.pathToApp = ui->LoRaComboApp->currentText();
    settings.pathToRelease = firstRow(ui->LoRaComboRelease);
    settings.offsetWrtBoot = ui->LoRaComboOffsetBOOT->text();
    settings.offsetWrtFmwLora = ui->LoRaComboOffsetLoRa->text();
    settings.offsetWrtFmw = ui->LoRaComboOffsetApp->text();
    settings.offsetSrchNameLora = ui->LoRaComboOffset_lora_region->text();
    settings.offsetSrchNameFmw = ui->LoRaComboOffsetFW->text();
    settings.templateName = ui->LoRaTemplateName->text();
    return settings;
}

void MainWindow::showLoRaSettings(const LoRaSettings &settings)
{
    replaceItems(ui->LoRaComboBOOT, settings.pathToBoot);
    scanSourceDirectory(settings.pathToBoot, bootFilter, ui->LoRaFoundFilesBOOT, bootFiles);
    replaceItems(ui->LoRaComboLoraMAC, settings.pathToLoRa);
    scanSourceDirectory(settings.pathToLoRa, loraMacFilter, ui->LoRaFoundFilesLoraMAC, loraMacFiles);
    replaceItems(ui->LoRaComboApp, settings.pathToApp);
    scanSourceDirectory(settings.pathToApp, appFilter, ui->LoRaFoundFilesApp, appFiles);
    replaceRows(ui->LoRaComboRelease, settings.pathToRelease);
    ui->LoRaComboOffsetBOOT->setText(settings.offsetWrtBoot);
    ui->LoRaComboOffsetLoRa->setText(settings.offsetWrtFmwLora);
    ui->LoRaComboOffsetApp->setText(settings.offsetWrtFmw);
    ui->LoRaComboOffset_lora_region->setText(settings.offsetSrchNameLora);
    ui->LoRaComboOffsetFW->setText(settings.offsetSrchNameFmw);
    ui->LoRaTemplateName->setText(settings.templateName);
}

BinarySettings MainWindow::currentBinarySettings() const
{
    const QComboBox *combos[] = {ui->BinaryComboFile1, ui->BinaryComboFile2, ui->BinaryComboFile3,
                                 ui->BinaryComboFile4, ui->BinaryComboFile5, ui->BinaryComboFile6};
    const QLineEdit *offsets[] = {ui->BinaryOffsetFile1, ui->BinaryOffsetFile2, ui->BinaryOffsetFile3,
                                  ui->BinaryOffsetFile4, ui->BinaryOffsetFile5, ui->BinaryOffsetFile6};
    BinarySettings settings;
    for (int slot = 0; slot < 6; ++slot) {
        settings.pathFile[slot] = combos[slot]->currentText();
        settings.offsetFile[slot] = offsets[slot]->text();
        settings.enabled[slot] = binaryChecks[slot]->isChecked();
    }
    settings.pathRelease = firstRow(ui->BinaryReleaseCombo);
    settings.templateName = ui->BinaryTemplateNameRelease->text();
    return settings;
}

void MainWindow::showBinarySettings(const BinarySettings &settings)
{
    QComboBox *combos[] = {ui->BinaryComboFile1, ui->BinaryComboFile2, ui->BinaryComboFile3,
                           ui->BinaryComboFile4, ui->BinaryComboFile5, ui->BinaryComboFile6};
    QLineEdit *offsets[] = {ui->BinaryOffsetFile1, ui->BinaryOffsetFile2, ui->BinaryOffsetFile3,
                            ui->BinaryOffsetFile4, ui->BinaryOffsetFile5, ui->BinaryOffsetFile6};
    for (int slot = 0; slot < 6; ++slot)
        appendItem(combos[slot], settings.pathFile[slot]);
    replaceRows(ui->BinaryReleaseCombo, settings.pathRelease);
    for (int slot = 0; slot < 6; ++slot)
        offsets[slot]->setText(settings.offsetFile[slot]);
    ui->BinaryTemplateNameRelease->setText(settings.templateName);
    for (int slot = 0; slot < 6; ++slot) {
        binaryChecks[slot]->setChecked(settings.enabled[slot]);
        binaryRows[slot]->setEnabled(settings.enabled[slot]);
    }
}

IntelHexSettings MainWindow::currentIntelHexSettings() const
{
    IntelHexSettings settings;
    settings.pathBoot = ui->IntelHEXComboBOOT->currentText();
    settings.pathApp = ui->IntelHEXComboApp->currentText();
    settings.pathMain = ui->IntelHEXComboMain->currentText();
    settings.pathAddictFile[0] = ui->IntelHEXAdditionalFile1Combo->currentText();
    settings.pathAddictFile[1] = ui->IntelHEXAdditionalFile2Combo->currentText();
    settings.pathAddictFile[2] = ui->IntelHEXAdditionalFile3Combo->currentText();
    settings.pathRelease = firstRow(ui->IntelHEXReleaseDirrect);
    settings.templateName = ui->IntelHEXTemplFileName->text();
    for (int slot = 0; slot < 6; ++slot)
        settings.enabled[slot] = intelHexChecks[slot]->isChecked();
    return settings;
}

void MainWindow::showIntelHexSettings(const IntelHexSettings &settings)
{
    appendItem(ui->IntelHEXComboBOOT, settings.pathBoot);
    appendItem(ui->IntelHEXComboApp, settings.pathApp);
    appendItem(ui->IntelHEXComboMain, settings.pathMain);
    appendItem(ui->IntelHEXAdditionalFile1Combo, settings.pathAddictFile[0]);
    appendItem(ui->IntelHEXAdditionalFile2Combo, settings.pathAddictFile[1]);
    appendItem(ui->IntelHEXAdditionalFile3Combo, settings.pathAddictFile[2]);
    replaceRows(ui->IntelHEXReleaseDirrect, settings.pathRelease);
    ui->IntelHEXTemplFileName->setText(settings.templateName);
    for (int slot = 0; slot < 6; ++slot) {
        intelHexChecks[slot]->setChecked(settings.enabled[slot]);
        intelHexRows[slot]->setEnabled(settings.enabled[slot]);
    }
}

void MainWindow::loadLoRaSettings(QSettings &store)
{
    showLoRaSettings(LoRaSettings::load(store));
}

void MainWindow::saveLoRaSettings(QSettings &store) const
{
    currentLoRaSettings().save(store);
}

void MainWindow::loadBinarySettings(QSettings &store)
{
    showBinarySettings(BinarySettings::load(store));
}

void MainWindow::saveBinarySettings(QSettings &store) const
{
    currentBinarySettings().save(store);
}

void MainWindow::loadIntelHexSettings(QSettings &store)
{
    showIntelHexSettings(IntelHexSettings::load(store));
}

void MainWindow::saveIntelHexSettings(QSettings &store) const
{
    currentIntelHexSettings().save(store);
}

QListWidget *MainWindow::templateList(TemplateKind kind) const
{
    switch (kind) {
    case TemplateKind::LoRa:
        return ui->LoRaListFileSettings;
    case TemplateKind::Binary:
        return ui->BinaryListFileSettings;
    case TemplateKind::IntelHex:
        return ui->IntelHEXListFileSettings;
    }
    return nullptr;
}

QLineEdit *MainWindow::templateNameEdit(TemplateKind kind) const
{
    switch (kind) {
    case TemplateKind::LoRa:
        return ui->LoRaNameWrtSettings;
    case TemplateKind::Binary:
        return ui->BinaryNameWrtSettings;
    case TemplateKind::IntelHex:
        return ui->IntelHEXNameWrtSettings;
    }
    return nullptr;
}

void MainWindow::refreshTemplateList(TemplateKind kind)
{
    templateList(kind)->addItems(workingDirectoryTemplates().list(kind));
}

void MainWindow::saveTemplate(TemplateKind kind)
{
    QLineEdit *nameEdit = templateNameEdit(kind);
    const QString name = nameEdit->text();
    const QString problem = TemplateStore::nameProblem(name);
    if (!problem.isEmpty()) {
        dialogs().message(MessageKind::Warning, ReportTitle::warning(), problem);
        return;
    }
    const TemplateStore templates = workingDirectoryTemplates();
    const bool saved = templates.save(name, kind, [this, kind](QSettings &store) {
        switch (kind) {
        case TemplateKind::LoRa:
            saveLoRaSettings(store);
            break;
        case TemplateKind::Binary:
            saveBinarySettings(store);
            break;
        case TemplateKind::IntelHex:
            saveIntelHexSettings(store);
            break;
        }
    });
    if (saved) {
        nameEdit->clear();
    } else {
        dialogs().message(MessageKind::Warning, ReportTitle::warning(),
                          templates.pathOf(name + TemplateStore::extension(kind)) +
                              QStringLiteral(": не удалось сохранить шаблон."));
    }
    templateList(kind)->clear();
    refreshTemplateList(kind);
}

void MainWindow::selectTemplate(TemplateKind kind, QListWidgetItem *item)
{
    if (item)
        templateNameEdit(kind)->setText(TemplateStore::nameOf(item->text(), kind));
}

void MainWindow::loadTemplate(TemplateKind kind, QListWidgetItem *item)
{
    if (!item)
        return;
    SettingsFile::Reader reader(workingDirectoryTemplates().pathOf(item->text()));
    switch (kind) {
    case TemplateKind::LoRa:
        loadLoRaSettings(reader.store());
        break;
    case TemplateKind::Binary:
        loadBinarySettings(reader.store());
        break;
    case TemplateKind::IntelHex:
        loadIntelHexSettings(reader.store());
        break;
    }
    templateNameEdit(kind)->setText(TemplateStore::nameOf(item->text(), kind));
}

void MainWindow::LoRa_Load_Template_Config(QListWidgetItem *FileSettings)
{
    loadTemplate(TemplateKind::LoRa, FileSettings);
}

void MainWindow::LoRa_Button_Save_Setting()
{
    saveTemplate(TemplateKind::LoRa);
}

void MainWindow::LoRa_Enter_Settings_File(QListWidgetItem *item)
{
    selectTemplate(TemplateKind::LoRa, item);
}

void MainWindow::Binary_Load_Template_Config(QListWidgetItem *item)
{
    loadTemplate(TemplateKind::Binary, item);
}

void MainWindow::Binary_Button_Save_Setting()
{
    saveTemplate(TemplateKind::Binary);
}

void MainWindow::Binary_Enter_Settings_File(QListWidgetItem *item)
{
    selectTemplate(TemplateKind::Binary, item);
}

void MainWindow::IntelHEX_Button_Save_Setting()
{
    saveTemplate(TemplateKind::IntelHex);
}

void MainWindow::IntelHEX_Load_Template_Config(QListWidgetItem *item)
{
    loadTemplate(TemplateKind::IntelHex, item);
}

void MainWindow::IntelHEX_Enter_Settings_File(QListWidgetItem *item)
{
    selectTemplate(TemplateKind::IntelHex, item);
}
