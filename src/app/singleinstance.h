#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalSocket;

// Keeps one running instance per user. The first start takes a lock file and, once its window is
// up, listens on a local channel; a later start finds the lock taken, sends the activation
// message through the channel and ends. The lock belongs to a process, not to the system: when
// the first instance dies, even killed, the next start takes the lock over.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        First,      // this process holds the lock
        HandedOver, // another instance runs and was asked to come to the front
        Undecided,  // the lock is held but its holder cannot be reached (or the lock is unusable)
    };

    static constexpr int ConnectTimeoutMs = 500;
    static constexpr int WriteTimeoutMs = 30000;

    // The 14 bytes that bring the running window to the front, without terminator or line end.
    static QByteArray activationMessage() { return QByteArrayLiteral("activateWindow"); }
    // "Quillon", unless the environment variable QUILLON_INSTANCE_KEY names another key (so that
    // tests running side by side keep apart).
    static QString defaultKey();
    // The per-user names derived from a key.
    static QString lockFilePathFor(const QString &key);
    static QString serverNameFor(const QString &key);

    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, or hands over to the instance holding it.
    Claim claim(int connectTimeoutMs = ConnectTimeoutMs, int writeTimeoutMs = WriteTimeoutMs);
    // Starts listening for later starts (first instance only). A channel name left behind by a
    // crashed instance is removed only after a connection to it has failed.
    bool listen();
    // Stops listening and gives the lock up, so that a restarted build can become the first.
    void release();
    // Takes the lock again after release(); false when another instance took it meanwhile.
    bool reclaim();

    bool isListening() const { return m_server.isListening(); }

signals:
    void activationRequested();
    // Anything else a client sent, one read at a time.
    void messageIgnored(const QByteArray &bytes);

private:
    bool handOver(int connectTimeoutMs, int writeTimeoutMs);
    void acceptPendingConnections();
    void readMessage(QLocalSocket *socket);

    QString m_serverName;
    QLockFile m_lock;
    QLocalServer m_server;
};
