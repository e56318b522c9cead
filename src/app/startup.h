#pragma once

#include <QString>

class QWidget;
class UserDialogs;

// The window's start-up, in this order: a second start hands over to the running instance and
// ends before it reads or writes anything; the first listens for later starts at once, finishes
// an update left by the previous run, loads the translation, builds the window, loads config.conf
// and shows it, and only then looks for an update in the background.
namespace Startup {

// The text of the box a second start shows when the running instance does not answer.
inline QString notAnsweringText()
{
    return QStringLiteral("Quillon уже запущен, но не отвечает.");
}

// Runs the program on the application object the caller made; returns the exit code.
int run(UserDialogs &dialogs);

// Title, icon and fixed size of the main window, then shows it.
void showMainWindow(QWidget &window);
// Brings to the front what the program shows for a later start of it: an open box or dialog,
// otherwise the main window (null while it is not built yet).
void bringToFront(QWidget *mainWindow);

} // namespace Startup
