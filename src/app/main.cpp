#include <QApplication>

#include "app/startup.h"
#include "gui/messageboxdialogs.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MessageBoxDialogs dialogs;
    return Startup::run(dialogs);
}
