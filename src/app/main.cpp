#include <QApplication>
#include <QFileInfo>
#include <QLocale>

#include "app/leftovercleanup.h"
#include "app/selfupdate.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "app/startuplog.h"
#include "app/translations.h"
#include "gui/mainwindow.h"
#include "gui/messageboxdialogs.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString executablePath = QCoreApplication::applicationFilePath();
    finishLeftoverUpdate(QFileInfo(executablePath).absolutePath());
    QApplication::setStyle(QStringLiteral("Fusion"));

    MessageBoxDialogs dialogs;
    MainWindow window(dialogs);

    SingleInstance instance(SingleInstance::defaultKey());
    const SingleInstance::Claim claim = instance.claim();
    if (claim == SingleInstance::Claim::HandedOver) {
        StartupLog::note(QStringLiteral("handed-over"));
        return 0;
    }
    // Only the instance holding the lock may replace the executable.
    if (claim == SingleInstance::Claim::First &&
        updateAtStartup(executablePath, updateServerAddress(), dialogs, instance))
        return 0;

    Startup::showMainWindow(window);
    if (claim == SingleInstance::Claim::First) {
        QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                         [&window] { Startup::activateMainWindow(window); });
        QObject::connect(&instance, &SingleInstance::messageIgnored, &window,
                         [] { StartupLog::note(QStringLiteral("ignored")); });
        if (instance.listen())
            StartupLog::note(QStringLiteral("listening"));
    }

    Translations translations;
    translations.load(QLocale::system().uiLanguages());
    translations.install();
    return app.exec();
}
