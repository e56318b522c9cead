#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::Key_Assembling_Firmware() {}
void MainWindow::LoRa_Start_Firmware() {}
