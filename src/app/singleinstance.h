#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalSocket;

// Keeps one running instance per user. The first start takes a lock file and listens on a local
// channel, both in the user's private runtime directory; a later start finds the lock taken,
// sends the activation message through the channel, waits for the running instance to confirm
// that it came to the front, and ends. The lock belongs to a process, not to the system: when the
// first instance dies, even killed, the next start takes the lock over.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        First,        // this process holds the lock
        HandedOver,   // the running instance confirmed that it came to the front
        NotAnswering, // the lock is held, but its holder did not answer in time (stopped, hung)
    };

    // How long a later start keeps trying to reach the running instance: the lock may be taken a
    // moment before its holder listens, and a busy holder answers when it gets back to its event
    // loop.
    struct Patience {
        int totalMs = 5000;
        int retryMs = 100;
    };

    // The 14 bytes that bring the running window to the front, without terminator or line end.
    static QByteArray activationMessage() { return QByteArrayLiteral("activateWindow"); }
    // The running instance's answer to it.
    static QByteArray confirmationMessage() { return QByteArrayLiteral("activated"); }
    static QString defaultKey() { return QStringLiteral("Quillon"); }
    // The user's folder for the lock (Platform::instanceLockDirectory), when only the user can
    // write it; otherwise empty, and problem says why.
    static QString privateRuntimeDirectory(QString *problem);

    // The lock file and the channel are named after the key inside the directory, which must be
    // private to the user.
    explicit SingleInstance(const QString &runtimeDirectory, const QString &key = defaultKey(),
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, or hands over to the instance holding it. A lock file that is damaged
    // (empty, unreadable, not a file) or not the user's own is removed and taken.
    Claim claim();
    Claim claim(const Patience &patience);
    // Starts listening for later starts (first instance only). A channel left behind by a crashed
    // instance, or one that is not the user's own, is replaced.
    bool listen();
    // Stops listening and gives the lock up, so that a restarted build can become the first.
    void release();
    // Takes the lock again after release() and listens again; false when another instance took
    // the lock meanwhile.
    bool reclaim();

    QString lockFilePath() const { return m_lockPath; }
    QString serverName() const { return m_serverName; }
    bool isListening() const { return m_server.isListening(); }

signals:
    void activationRequested();
    // Anything else a client sent, one read at a time.
    void messageIgnored(const QByteArray &bytes);

private:
    bool takeLock();
    bool lockLooksDamaged();
    bool removeDamagedLock();
    bool channelIsTrusted() const;
    bool handOver(int timeoutMs);
    void acceptPendingConnections();
    void readMessage(QLocalSocket *socket);

    QString m_lockPath;
    QString m_serverName;
    QLockFile m_lock;
    QLocalServer m_server;
};
