#include <QApplication>
#include <QIcon>

#include "mainwindow/mainwindow.h"
#include "mainwindow/messageboxdialogs.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    MessageBoxDialogs dialogs;
    MainWindow window(dialogs);
    window.setWindowTitle(QStringLiteral("Quillon_v2.3.0"));
    window.setWindowIcon(QIcon(QStringLiteral(":/Icon.ico")));
    window.setFixedSize(MainWindow::NarrowWidth, MainWindow::WindowHeight);
    window.show();
    return app.exec();
}
