#pragma once

#include <memory>

#include <QObject>

#include "selfupdate.h"

class QThread;

// Runs SelfUpdate::findRelease on a thread of its own, so that the window is on the screen and
// answers the user while the update server takes its time. The update object must outlive the
// check and is not to be touched until finished().
class UpdateCheck : public QObject {
    Q_OBJECT

public:
    UpdateCheck(SelfUpdate &update, const UpdateSource &source, const UpdateTimeouts &timeouts = {});
    // A check still running is stopped and waited for.
    ~UpdateCheck() override;

    void start();

signals:
    // On the thread that made this object: whether a release can be offered (otherwise the
    // update's skipReason() says why).
    void finished(bool found);

private:
    SelfUpdate &m_update;
    UpdateSource m_source;
    UpdateTimeouts m_timeouts;
    std::unique_ptr<QThread> m_thread;
    bool m_found = false;
};
