#include "app/singleinstance.h"

#include <QDir>
#include <QLocalSocket>

#include "platform/platform.h"

QString SingleInstance::defaultKey()
{
    const QString key = qEnvironmentVariable("QUILLON_INSTANCE_KEY");
    return key.isEmpty() ? QStringLiteral("Quillon") : key;
}

QString SingleInstance::lockFilePathFor(const QString &key)
{
    return QDir(QDir::tempPath())
        .filePath(key + QLatin1Char('-') + Platform::currentUserId() + QStringLiteral(".lock"));
}

QString SingleInstance::serverNameFor(const QString &key)
{
    // Local server names share one namespace on a machine (/tmp, \\.\pipe\): the user in the name
    // keeps two logged-in users from finding each other's instance.
    return key + QLatin1Char('-') + Platform::currentUserId();
}

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent), m_serverName(serverNameFor(key)), m_lock(lockFilePathFor(key))
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

SingleInstance::Claim SingleInstance::claim(int connectTimeoutMs, int writeTimeoutMs)
{
    if (m_lock.tryLock(0))
        return Claim::First;
    if (handOver(connectTimeoutMs, writeTimeoutMs))
        return Claim::HandedOver;
    // The holder may have ended while we tried to reach it.
    if (m_lock.tryLock(0))
        return Claim::First;
    return Claim::Undecided;
}

bool SingleInstance::handOver(int connectTimeoutMs, int writeTimeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName, QIODevice::ReadWrite);
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
    socket.write(activationMessage());
    const bool written = socket.waitForBytesWritten(writeTimeoutMs);
    socket.disconnectFromServer();
    return written;
}

bool SingleInstance::listen()
{
    if (m_server.isListening())
        return true;
    if (m_server.listen(m_serverName))
        return true;
    if (m_server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    if (probe.waitForConnected(ConnectTimeoutMs)) {
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
    return m_lock.isLocked() || m_lock.tryLock(0);
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
    if (bytes == activationMessage())
        emit activationRequested();
    else
        emit messageIgnored(bytes);
}

// Compiled here rather than with the library's other meta-objects, so that programs which never
// use a single-instance guard (quillon-cli) need not load Qt Network at start-up.
#include "moc_singleinstance.cpp"
