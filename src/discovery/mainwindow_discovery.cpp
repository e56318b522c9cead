#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::scanSourceDirectory(const QString &directory, const QString &nameFilter, QTreeWidget *tree,
                                     QStringList &paths)
{
    Q_UNUSED(directory);
    Q_UNUSED(nameFilter);
    Q_UNUSED(tree);
    Q_UNUSED(paths);
}

void MainWindow::LoRa_Search_Open() {}
void MainWindow::LoRa_Enter_BOOT_BIN_HEX() {}
void MainWindow::LoRa_Enter_LoRaMAC_BIN_HEX() {}
void MainWindow::LoRa_Enter_App_BIN_HEX() {}
void MainWindow::LoRaMAC_Name_Check(int state)
{
    Q_UNUSED(state);
}
void MainWindow::Binary_Search_Open() {}
void MainWindow::Binary_Enter_BIN_HEX_File() {}
void MainWindow::IntelHEX_Search_Open() {}
