#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::Start_convert() {}
