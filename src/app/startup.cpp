#include "startup.h"

#include <memory>
#include <optional>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QPointer>
#include <QWidget>

#include "backgroundupdate.h"
#include "configfile.h"
#include "leftovercleanup.h"
#include "mainwindow.h"
#include "platform.h"
#include "singleinstance.h"
#include "startuplog.h"
#include "templatestore.h"
#include "translations.h"
#include "userdialogs.h"

namespace Startup {

void showMainWindow(QWidget &window)
{
    window.setWindowTitle(QStringLiteral("Quillon_v2.3.0"));
    window.setWindowIcon(QIcon(QStringLiteral(":/Icon.ico")));
    window.setFixedSize(MainWindow::NarrowWidth, MainWindow::WindowHeight);
    window.show();
    StartupLog::note(QStringLiteral("shown"));
}

void bringToFront(QWidget *mainWindow)
{
    QWidget *target = QApplication::activeModalWidget();
    if (!target)
        target = mainWindow;
    if (target) {
        if (target->isMinimized())
            target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
        target->raise();
        target->activateWindow();
    }
    StartupLog::note(QStringLiteral("activated"));
}

namespace {

// The directory only this user can write, where the running instance is found; empty, once the
// user is told why, when there is none.
QString runtimeDirectoryOrExplain(UserDialogs &dialogs)
{
    QString problem;
    const QString runtimeDirectory = SingleInstance::privateRuntimeDirectory(&problem);
    if (runtimeDirectory.isEmpty()) {
        // Without a place only this user can write, another account could pose as the running
        // instance; starting unguarded would let two windows overwrite each other's config.conf.
        StartupLog::note(QStringLiteral("no runtime directory: ") + problem);
        dialogs.message(MessageKind::Critical, ReportTitle::error(),
                        QStringLiteral("Quillon не запущен: %1.").arg(problem));
    }
    return runtimeDirectory;
}

// The exit code when this start goes no further: the running instance took it over, or does not
// answer. Nothing when this start is the first.
std::optional<int> handOverToRunningInstance(SingleInstance &instance, UserDialogs &dialogs)
{
    switch (instance.claim()) {
    case SingleInstance::Claim::HandedOver:
        StartupLog::note(QStringLiteral("handed-over"));
        return 0;
    case SingleInstance::Claim::NotAnswering:
        StartupLog::note(QStringLiteral("not-answering"));
        dialogs.message(MessageKind::Warning, ReportTitle::warning(), notAnsweringText());
        return 1;
    case SingleInstance::Claim::First:
        break;
    }
    return std::nullopt;
}

// A later start brings `mainWindow` (or the box open over it) to the front.
void listenForLaterStarts(SingleInstance &instance, const QPointer<QWidget> &mainWindow)
{
    QObject::connect(&instance, &SingleInstance::activationRequested, &instance,
                     [&mainWindow] { bringToFront(mainWindow); });
    QObject::connect(&instance, &SingleInstance::messageIgnored, &instance,
                     [] { StartupLog::note(QStringLiteral("ignored")); });
    if (instance.listen())
        StartupLog::note(QStringLiteral("listening"));
    else
        StartupLog::note(QStringLiteral("not listening: ") + instance.serverName());
}

void installTranslations(Translations &translations)
{
    if (!translations.load())
        StartupLog::note(QStringLiteral("translation missing: Qt's buttons stay in English"));
    translations.install();
}

} // namespace

int run(UserDialogs &dialogs)
{
    const QString runtimeDirectory = runtimeDirectoryOrExplain(dialogs);
    if (runtimeDirectory.isEmpty())
        return 1;
    SingleInstance instance(runtimeDirectory);
    if (const std::optional<int> exitCode = handOverToRunningInstance(instance, dialogs))
        return *exitCode;

    // Listening before the update check: a start during its question or download is handed
    // over at once instead of waiting for the window.
    QPointer<QWidget> mainWindow;
    listenForLaterStarts(instance, mainWindow);

    // A programmer flashing when the window is terminated or loses its terminal ends with it.
    Platform::endProcessGroupOnInterrupt();
    const QString executablePath = QCoreApplication::applicationFilePath();
    finishLeftoverUpdate(QFileInfo(executablePath).absolutePath());
    QApplication::setStyle(QStringLiteral("Fusion"));

    // Before any question, so that its buttons are in Russian like the rest of the window.
    Translations translations;
    installTranslations(translations);

    // This is the only window: what a killed one left half-written goes before anything is read.
    ConfigFile::removeStaleTemporaries();
    TemplateStore(QDir::currentPath()).removeStaleTemporaries();

    // The window first: the update server, however slow, is asked only once it is on the screen.
    std::unique_ptr<MainWindow> window;
    const auto open = [&] {
        window = std::make_unique<MainWindow>(dialogs);
        mainWindow = window.get();
        showMainWindow(*window);
    };
    open();
    BackgroundUpdate update(executablePath, UpdateSource::fromBuildAndEnvironment(), dialogs, instance,
                            {[&] { return mainWindow.data(); }, [&] { window.reset(); }, open});
    update.start();
    const int exitCode = QApplication::exec();
    // The settings go to disk with the window, before a check still waiting on the server is ended.
    window.reset();
    return exitCode;
}

} // namespace Startup
