#include <QApplication>

#include "messageboxdialogs.h"
#include "startup.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MessageBoxDialogs dialogs;
    return Startup::run(dialogs);
}
