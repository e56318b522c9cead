#pragma once

#include <functional>

#include <QObject>

#include "selfupdate.h"
#include "updatecheck.h"

class QWidget;
class SingleInstance;
class UserDialogs;

// The update of a running window: looks for a release in the background and, once one is found,
// asks over the window, downloads it with a progress dialog the user can cancel, installs it and
// restarts into it. Before the new build starts the window is closed, so that the settings it saves
// are there for the new build to read; when the new build cannot start, the window is opened again
// and the reason shown.
class BackgroundUpdate : public QObject {
public:
    struct Window {
        std::function<QWidget *()> current;
        std::function<void()> close;
        std::function<void()> reopen;
    };

    BackgroundUpdate(const QString &executablePath, const UpdateSource &source, UserDialogs &dialogs,
                     SingleInstance &instance, const Window &window);

    // Without an update address, does nothing.
    void start();

    static QString progressLabel() { return QStringLiteral("Загрузка обновления…"); }

private:
    void offer(bool found);

    UpdateSource m_source;
    UserDialogs &m_dialogs;
    SingleInstance &m_instance;
    Window m_window;
    SelfUpdate m_update;
    UpdateCheck m_check;
};
