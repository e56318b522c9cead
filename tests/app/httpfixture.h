#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>

// A tiny HTTP/1.1 server on 127.0.0.1 for the update download: answers every GET with one
// scripted reply, or misbehaves the way real servers do (cuts the body short, stalls, never
// answers). It runs on the test's event loop, which the download's own loop keeps turning.
class HttpFixture : public QObject {
public:
    enum class Behaviour {
        Answer,      // status line, Content-Length, whole body
        CutShort,    // announces the whole body, sends half of it and closes
        Stall,       // announces the whole body, sends half of it and keeps silent
        NeverAnswer, // accepts the connection and reads the request, but never answers
    };

    int status = 200;
    QByteArray body;
    Behaviour behaviour = Behaviour::Answer;
    QList<QByteArray> requestLines;

    HttpFixture()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        });
    }

    bool start() { return m_server.listen(QHostAddress::LocalHost); }
    bool isListening() const { return m_server.isListening(); }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        const int headerEnd = request.indexOf("\r\n\r\n");
        if (headerEnd < 0 || m_answered.contains(socket))
            return;
        m_answered.insert(socket);
        requestLines.append(request.left(request.indexOf("\r\n")));
        if (behaviour == Behaviour::NeverAnswer)
            return;

        const QByteArray reason = status == 200 ? "OK" : "Not Found";
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\n" +
                           "Content-Type: application/octet-stream\r\n" +
                           "Content-Length: " + QByteArray::number(body.size()) + "\r\n" +
                           "Connection: close\r\n\r\n";
        reply += behaviour == Behaviour::Answer ? body : body.left(body.size() / 2);
        socket->write(reply);
        if (behaviour != Behaviour::Stall)
            socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
    QSet<QTcpSocket *> m_answered;
};
