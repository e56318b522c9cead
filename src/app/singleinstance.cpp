#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include "platform.h"

// A lock file that a starting instance is writing is unreadable for a few microseconds; one
// unreadable for this long is damaged.
static constexpr int DamageConfirmMs = 200;

QString SingleInstance::privateRuntimeDirectory(QString *problem)
{
    const QString directory = Platform::instanceLockDirectory();
    if (directory.isEmpty()) {
        *problem = QStringLiteral("нет каталога времени выполнения (XDG_RUNTIME_DIR), доступного только вам");
        return QString();
    }
    if (!Platform::isPrivateDirectory(directory, problem))
        return QString();
    return directory;
}

SingleInstance::SingleInstance(const QString &runtimeDirectory, const QString &key, QObject *parent)
    : QObject(parent), m_lockPath(QDir(runtimeDirectory).filePath(key + QStringLiteral(".lock"))),
      m_serverName(Platform::instanceServerName(runtimeDirectory, key)), m_lock(m_lockPath)
{
    // Staleness is decided by whether the holding process still lives, never by the lock's age:
    // an instance may run for weeks.
    m_lock.setStaleLockTime(0);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptPendingConnections);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
}

SingleInstance::Claim SingleInstance::claim()
{
    return claim(Patience());
}

SingleInstance::Claim SingleInstance::claim(const Patience &patience)
{
    const QDeadlineTimer deadline(patience.totalMs);
    for (;;) {
        if (takeLock())
            return Claim::First;
        if (handOver(int(deadline.remainingTime())))
            return Claim::HandedOver;
        if (deadline.hasExpired())
            return Claim::NotAnswering;
        QThread::msleep(qMin<qint64>(patience.retryMs, deadline.remainingTime()));
    }
}

bool SingleInstance::takeLock()
{
    // QLockFile reads a lock it finds, through a link too; reading a FIFO would block for good.
    // Anything but a plain file is damaged and replaced without being opened.
    const QFileInfo entry(m_lockPath);
    if (entry.isSymLink() || (entry.exists() && !entry.isFile()))
        return removeDamagedLock() && m_lock.tryLock(0);
    if (m_lock.tryLock(0))
        return true;
    if (m_lock.error() != QLockFile::LockFailedError || !lockLooksDamaged())
        return false;
    return removeDamagedLock() && m_lock.tryLock(0);
}

bool SingleInstance::lockLooksDamaged()
{
    const QFileInfo entry(m_lockPath);
    if (entry.isSymLink() || !Platform::isOwnedByCurrentUser(m_lockPath))
        return entry.exists() || entry.isSymLink();
    if (!entry.isFile())
        return entry.exists();
    qint64 pid = 0;
    QString host, application;
    return !m_lock.getLockInfo(&pid, &host, &application);
}

bool SingleInstance::removeDamagedLock()
{
    // Recovery is done by one start at a time, and only on a lock that stayed damaged: two starts
    // must never both remove a lock, nor one remove the good lock that the other just took.
    QLockFile recovery(m_lockPath + QStringLiteral(".recovery"));
    recovery.setStaleLockTime(2 * DamageConfirmMs + 1000);
    if (!recovery.tryLock(DamageConfirmMs + 1000))
        return false;
    QThread::msleep(DamageConfirmMs);
    if (!lockLooksDamaged())
        return false;
    const QFileInfo entry(m_lockPath);
    if (entry.isDir() && !entry.isSymLink())
        return QDir(m_lockPath).removeRecursively();
    return QFile::remove(m_lockPath);
}

bool SingleInstance::channelIsTrusted() const
{
    // Where the channel is a file (a socket in the runtime directory), only the user's own is
    // talked to or replaced by this program.
    return !QDir::isAbsolutePath(m_serverName) || !QFileInfo(m_serverName).exists() ||
           Platform::isOwnedByCurrentUser(m_serverName);
}

bool SingleInstance::handOver(int timeoutMs)
{
    if (!channelIsTrusted())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_serverName, QIODevice::ReadWrite);
    if (!socket.waitForConnected(qMax(timeoutMs, 1)))
        return false;
    // The holder may be busy (building its window, a long job) and answer when its event loop
    // turns again; a stopped or hung one never does. One message per start: waiting on the same
    // connection keeps a slow holder from being raised again and again.
    const QDeadlineTimer deadline(timeoutMs);
    socket.write(activationMessage());
    socket.flush();
    QByteArray answer;
    while (answer.size() < confirmationMessage().size()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        answer += socket.readAll();
    }
    socket.abort();
    return answer == confirmationMessage();
}

bool SingleInstance::listen()
{
    if (m_server.isListening())
        return true;
    if (!channelIsTrusted())
        QLocalServer::removeServer(m_serverName);
    if (m_server.listen(m_serverName))
        return true;
    if (m_server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Left behind by an instance that crashed: nobody answers on it any more.
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    if (probe.waitForConnected(500)) {
        // Someone answers on the name although we hold the lock; leave it alone.
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(m_serverName);
    return m_server.listen(m_serverName);
}

void SingleInstance::release()
{
    m_server.close();
    m_lock.unlock();
}

bool SingleInstance::reclaim()
{
    if (!m_lock.isLocked() && !takeLock())
        return false;
    return listen();
}

void SingleInstance::acceptPendingConnections()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            readMessage(socket);
    }
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    // Each read is judged on its own: only the whole message in one piece activates.
    const QByteArray bytes = socket->readAll();
    if (bytes.isEmpty())
        return;
    if (bytes != activationMessage()) {
        emit messageIgnored(bytes);
        return;
    }
    emit activationRequested();
    socket->write(confirmationMessage());
    socket->flush();
}
