#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::ensureConfigurationFile() {}
void MainWindow::loadAllSettings() {}
void MainWindow::saveAllSettings() {}
void MainWindow::refreshTemplateLists() {}

void MainWindow::LoRa_Load_Template_Config(QListWidgetItem *FileSettings)
{
    Q_UNUSED(FileSettings);
}
void MainWindow::LoRa_Button_Save_Setting() {}
void MainWindow::LoRa_Enter_Settings_File(QListWidgetItem *item)
{
    Q_UNUSED(item);
}
void MainWindow::Binary_Load_Template_Config(QListWidgetItem *item)
{
    Q_UNUSED(item);
}
void MainWindow::Binary_Button_Save_Setting() {}
void MainWindow::Binary_Enter_Settings_File(QListWidgetItem *item)
{
    Q_UNUSED(item);
}
void MainWindow::IntelHEX_Button_Save_Setting() {}
void MainWindow::IntelHEX_Load_Template_Config(QListWidgetItem *item)
{
    Q_UNUSED(item);
}
void MainWindow::IntelHEX_Enter_Settings_File(QListWidgetItem *item)
{
    Q_UNUSED(item);
}
