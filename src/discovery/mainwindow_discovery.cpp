#include "mainwindow/mainwindow.h"

#include <QFileInfo>

#include "discovery/sourcefiles.h"
#include "mainwindow/userdialogs.h"
#include "ui_mainwindow.h"

namespace {

const QString LoraMacNamePattern = QStringLiteral("*LoraMAC*");

QString binaryFilterFor(const QAbstractButton *binRadio, const QAbstractButton *hexRadio,
                        const QString &current)
{
    QString filter = current;
    if (binRadio->isChecked())
        filter = QStringLiteral("*.bin");
    if (hexRadio->isChecked())
        filter = QStringLiteral("*.hex");
    return filter;
}

void replaceWithSingleItem(QComboBox *combo, const QString &text)
{
    combo->clear();
    combo->addItem(text);
}

void replaceWithSingleRow(QListWidget *list, const QString &text)
{
    list->clear();
    list->addItem(text);
}

QString firstRowText(const QListWidget *list)
{
    return list->count() > 0 ? list->item(0)->text() : QString();
}

} // namespace

void MainWindow::scanSourceDirectory(const QString &directory, const QString &nameFilter, QTreeWidget *tree,
                                     QStringList &paths)
{
    tree->clear();
    currentTreeItem = nullptr;
    paths.clear();
    for (const ScannedSourceFile &file : scanLoRaSource(directory, nameFilter, dialogs())) {
        // A file left out keeps its row, without a name.
        currentTreeItem = new QTreeWidgetItem(tree);
        if (!file.accepted)
            continue;
        paths.append(file.path);
        currentTreeItem->setText(0, file.path.mid(file.path.lastIndexOf(QLatin1Char('/')) + 1));
    }
}

void MainWindow::LoRa_Search_Open()
{
    struct Source {
        QAbstractButton *button;
        QComboBox *combo;
        QTreeWidget *tree;
        QString *filter;
        QStringList *paths;
        QString caption;
    };
    const Source sources[] = {
        {ui->LoRaSearchBOOT, ui->LoRaComboBOOT, ui->LoRaFoundFilesBOOT, &bootFilter, &bootFiles,
         QStringLiteral("Bootloader Directory")},
        {ui->LoRaSearchLoraMAC, ui->LoRaComboLoraMAC, ui->LoRaFoundFilesLoraMAC, &loraMacFilter,
         &loraMacFiles, QStringLiteral("LoRaMAC Directory")},
        {ui->LoRaSearchApp, ui->LoRaComboApp, ui->LoRaFoundFilesApp, &appFilter, &appFiles,
         QStringLiteral("App Directory")},
    };
    QObject *button = sender();
    for (const Source &source : sources) {
        if (button != source.button)
            continue;
        const QString directory =
            dialogs().chooseDirectory(this, source.caption, source.combo->currentText());
        if (directory.isEmpty())
            return;
        replaceWithSingleItem(source.combo, directory);
        scanSourceDirectory(directory, *source.filter, source.tree, *source.paths);
        return;
    }
    if (button == ui->LoRaSearchRelease) {
        const QString directory = dialogs().chooseDirectory(this, QStringLiteral("Release Directory"),
                                                            firstRowText(ui->LoRaComboRelease));
        if (!directory.isEmpty())
            replaceWithSingleRow(ui->LoRaComboRelease, directory);
    }
}

void MainWindow::LoRa_Enter_BOOT_BIN_HEX()
{
    bootFilter = binaryFilterFor(ui->LoRaBINBOOT, ui->LoRaHEXBOOT, bootFilter);
    scanSourceDirectory(ui->LoRaComboBOOT->currentText(), bootFilter, ui->LoRaFoundFilesBOOT, bootFiles);
}

void MainWindow::LoRa_Enter_LoRaMAC_BIN_HEX()
{
    if (ui->LoRaBINLoraMAC->isChecked())
        loraMacFilter = QStringLiteral("*.bin");
    else if (ui->LoRaHEXLoraMAC->isChecked())
        loraMacFilter = QStringLiteral("*.hex");
    if (ui->LoRaLoRaMACInName->checkState() != Qt::Unchecked && !loraMacFilter.contains(LoraMacNamePattern))
        loraMacFilter.prepend(LoraMacNamePattern);
    scanSourceDirectory(ui->LoRaComboLoraMAC->currentText(), loraMacFilter, ui->LoRaFoundFilesLoraMAC,
                        loraMacFiles);
}

void MainWindow::LoRa_Enter_App_BIN_HEX()
{
    appFilter = binaryFilterFor(ui->LoRaBINApp, ui->LoRaHEXApp, appFilter);
    scanSourceDirectory(ui->LoRaComboApp->currentText(), appFilter, ui->LoRaFoundFilesApp, appFiles);
}

void MainWindow::LoRaMAC_Name_Check(int state)
{
    const bool hasPattern = loraMacFilter.contains(LoraMacNamePattern);
    if (state == Qt::Checked && !hasPattern)
        loraMacFilter.prepend(LoraMacNamePattern);
    else if (state == Qt::Unchecked && hasPattern)
        loraMacFilter.remove(LoraMacNamePattern);
    else
        return;
    scanSourceDirectory(ui->LoRaComboLoraMAC->currentText(), loraMacFilter, ui->LoRaFoundFilesLoraMAC,
                        loraMacFiles);
}

void MainWindow::Binary_Search_Open()
{
    const QList<QAbstractButton *> buttons = {ui->BinarySearchButtonFile1, ui->BinarySearchButtonFile2,
                                              ui->BinarySearchButtonFile3, ui->BinarySearchButtonFile4,
                                              ui->BinarySearchButtonFile5, ui->BinarySearchButtonFile6};
    const QList<QComboBox *> combos = {ui->BinaryComboFile1, ui->BinaryComboFile2, ui->BinaryComboFile3,
                                       ui->BinaryComboFile4, ui->BinaryComboFile5, ui->BinaryComboFile6};
    QObject *button = sender();
    const int slot = buttons.indexOf(qobject_cast<QAbstractButton *>(button));
    if (slot >= 0) {
        const QString path = dialogs().chooseFile(nullptr, QStringLiteral("File%1 Directory").arg(slot + 1),
                                                  combos[slot]->currentText(), binaryFilters[slot]);
        binarySelectedPaths[slot] = path;
        if (path.isEmpty())
            return;
        if (isIntelHexFile(path)) {
            dialogs().message(MessageKind::Warning, QStringLiteral("Не верный формат!"),
                              path + QStringLiteral(" явлеяется IntelHEX файлом."));
            return;
        }
        replaceWithSingleItem(combos[slot], path);
        return;
    }
    if (button == ui->BinarySearchRelesae) {
        const QString directory = dialogs().chooseDirectory(nullptr, QStringLiteral("Release Directory"),
                                                            firstRowText(ui->BinaryReleaseCombo));
        if (!directory.isEmpty())
            replaceWithSingleRow(ui->BinaryReleaseCombo, directory);
    }
}

void MainWindow::Binary_Enter_BIN_HEX_File()
{
    const QList<QAbstractButton *> binRadios = {ui->BinaryBINFile1, ui->BinaryBINFile2, ui->BinaryBINFile3,
                                                ui->BinaryBINFile4, ui->BinaryBINFile5, ui->BinaryBINFile6};
    const QList<QAbstractButton *> hexRadios = {ui->BinaryHEXFile1, ui->BinaryHEXFile2, ui->BinaryHEXFile3,
                                                ui->BinaryHEXFile4, ui->BinaryHEXFile5, ui->BinaryHEXFile6};
    for (int slot = 0; slot < binRadios.size(); ++slot)
        binaryFilters[slot] = binaryFilterFor(binRadios[slot], hexRadios[slot], binaryFilters[slot]);
}

void MainWindow::IntelHEX_Search_Open()
{
    const QList<QAbstractButton *> buttons = {ui->IntelHEXSearchBOOT,        ui->IntelHEXSearchBOOTApp,
                                              ui->IntelHEXSearchApp,         ui->IntelHEXSearchAddictFile1,
                                              ui->IntelHEXSearchAddictFile2, ui->IntelHEXSearchAddictFile3};
    const QList<QComboBox *> combos = {ui->IntelHEXComboBOOT,
                                       ui->IntelHEXComboApp,
                                       ui->IntelHEXComboMain,
                                       ui->IntelHEXAdditionalFile1Combo,
                                       ui->IntelHEXAdditionalFile2Combo,
                                       ui->IntelHEXAdditionalFile3Combo};
    QObject *button = sender();
    const int slot = buttons.indexOf(qobject_cast<QAbstractButton *>(button));
    if (slot >= 0) {
        const QString path = dialogs().chooseFile(nullptr, QStringLiteral("File%1 Directory").arg(slot + 1),
                                                  combos[slot]->currentText(), QStringLiteral("*.hex"));
        intelHexSelectedPaths[slot] = path;
        if (path.isEmpty())
            return;
        if (!isIntelHexFile(path)) {
            dialogs().message(MessageKind::Warning, QStringLiteral("Не верный формат!"),
                              path + QStringLiteral(" не явлеяется IntelHEX файлом"));
            return;
        }
        replaceWithSingleItem(combos[slot], path);
        return;
    }
    if (button == ui->IntelHEXSearchReleaseButton) {
        const QString directory = dialogs().chooseDirectory(nullptr, QStringLiteral("Release Directory"),
                                                            firstRowText(ui->IntelHEXReleaseDirrect));
        if (!directory.isEmpty())
            replaceWithSingleRow(ui->IntelHEXReleaseDirrect, directory);
    }
}
