#pragma once

class QWidget;

// The window side of start-up.
namespace Startup {
// Title, icon and fixed size of the main window, then shows it.
void showMainWindow(QWidget &window);
// Brings the window to the front for a later start of the program.
void activateMainWindow(QWidget &window);
} // namespace Startup
