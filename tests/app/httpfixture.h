#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

// A tiny HTTP/1.1 server on 127.0.0.1 for the update check: answers each GET with the reply
// scripted for its path (404 for any other), or misbehaves the way real servers do (cuts the body
// short, stalls, never answers, sends no length, never ends, redirects). It runs on the test's
// event loop, which the download's own loop keeps turning.
class HttpFixture : public QObject {
public:
    enum class Behaviour {
        Answer,      // status line, Content-Length, whole body
        CutShort,    // announces the whole body, sends half of it and closes
        Stall,       // announces the whole body, sends half of it and keeps silent
        NeverAnswer, // accepts the connection and reads the request, but never answers
        NoLength,    // no Content-Length: the body ends where the server closes
        NoLengthCut, // no Content-Length, half of the body, then closes
        Endless,     // no Content-Length, and the body goes on (up to EndlessCap) while read
        Redirect,    // 302 to the address in the reply's body
        Trickle,     // announces the whole body and sends it one byte per TrickleMs
    };
    static constexpr int TrickleMs = 1000;
    struct Reply {
        QByteArray body;
        Behaviour behaviour = Behaviour::Answer;
        int status = 200;
    };
    static constexpr qint64 EndlessCap = 1024LL * 1024 * 1024;

    QHash<QByteArray, Reply> replies; // by path, e.g. "/QUILL/Quillon.exe"
    QList<QByteArray> requestLines;
    qint64 endlessBytesSent = 0;

    HttpFixture()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    m_requests.remove(socket);
                    m_answered.remove(socket);
                    socket->deleteLater();
                });
            }
        });
    }

    // Open connections go first, their signals cut: a socket deleted with the object would otherwise
    // report its disconnection to handlers whose sets are already gone.
    ~HttpFixture() override
    {
        m_server.close();
        QList<QTcpSocket *> sockets = m_server.findChildren<QTcpSocket *>() + findChildren<QTcpSocket *>();
        for (QTcpSocket *socket : sockets)
            socket->disconnect();
        qDeleteAll(sockets);
    }

    bool start() { return m_server.listen(QHostAddress::LocalHost); }
    bool isListening() const { return m_server.isListening(); }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()); }
    void reset()
    {
        replies.clear();
        requestLines.clear();
        endlessBytesSent = 0;
    }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n") || m_answered.contains(socket))
            return;
        m_answered.insert(socket);
        const QByteArray requestLine = request.left(request.indexOf("\r\n"));
        requestLines.append(requestLine);
        const QByteArray path = requestLine.split(' ').value(1);
        const Reply reply = replies.value(path, Reply{"no such file", Behaviour::Answer, 404});
        if (reply.behaviour == Behaviour::NeverAnswer)
            return;

        const bool redirect = reply.behaviour == Behaviour::Redirect;
        const int status = redirect ? 302 : reply.status;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Other") +
                          "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
        if (redirect)
            head += "Location: " + reply.body + "\r\nContent-Length: 0\r\n";
        else if (reply.behaviour != Behaviour::NoLength && reply.behaviour != Behaviour::NoLengthCut &&
                 reply.behaviour != Behaviour::Endless)
            head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        socket->write(head + "\r\n");

        switch (reply.behaviour) {
        case Behaviour::Answer:
        case Behaviour::NoLength:
            socket->write(reply.body);
            break;
        case Behaviour::CutShort:
        case Behaviour::Stall:
        case Behaviour::NoLengthCut:
            socket->write(reply.body.left(reply.body.size() / 2));
            break;
        case Behaviour::Endless:
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feed(socket); });
            feed(socket);
            return;
        case Behaviour::Trickle:
            trickle(socket, reply.body);
            return;
        case Behaviour::Redirect:
        case Behaviour::NeverAnswer:
            break;
        }
        if (reply.behaviour != Behaviour::Stall)
            socket->disconnectFromHost();
    }

    void trickle(QTcpSocket *socket, const QByteArray &body)
    {
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [socket, body, sent, timer] {
            if (*sent >= body.size()) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            socket->write(body.mid((*sent)++, 1));
        });
        timer->start(TrickleMs);
    }

    // Keeps a little data queued for as long as the client reads it.
    void feed(QTcpSocket *socket)
    {
        static const QByteArray piece(64 * 1024, 'x');
        while (socket->state() == QAbstractSocket::ConnectedState &&
               socket->bytesToWrite() < 4 * piece.size() && endlessBytesSent < EndlessCap) {
            socket->write(piece);
            endlessBytesSent += piece.size();
        }
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
    QSet<QTcpSocket *> m_answered;
};
