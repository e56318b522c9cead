#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::LoRa_Start_Assembler() {}
void MainWindow::Binary_Start_Assembling() {}
