#include "app/startup.h"

#include <QIcon>
#include <QWidget>

#include "app/startuplog.h"
#include "gui/mainwindow.h"

namespace Startup {

void showMainWindow(QWidget &window)
{
    window.setWindowTitle(QStringLiteral("Quillon_v2.3.0"));
    window.setWindowIcon(QIcon(QStringLiteral(":/Icon.ico")));
    window.setFixedSize(MainWindow::NarrowWidth, MainWindow::WindowHeight);
    window.show();
    StartupLog::note(QStringLiteral("shown"));
}

void activateMainWindow(QWidget &window)
{
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
    StartupLog::note(QStringLiteral("activated"));
}

} // namespace Startup
