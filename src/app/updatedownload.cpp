#include "updatedownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

static constexpr qint64 PieceBytes = 64 * 1024;

static int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

UpdateDownload UpdateDownload::fetch(const QUrl &url, qint64 maxBytes, const UpdateTimeouts &timeouts)
{
    QByteArray body;
    UpdateDownload result = stream(
        url, maxBytes,
        [&body](const QByteArray &piece) {
            body += piece;
            return true;
        },
        timeouts);
    if (result.succeeded())
        result.body = body;
    return result;
}

UpdateDownload UpdateDownload::stream(const QUrl &url, qint64 maxBytes, const Sink &sink,
                                      const UpdateTimeouts &timeouts,
                                      const std::function<bool()> &cancelRequested)
{
    UpdateDownload result;
    if (!url.isValid() || url.host().isEmpty()) {
        result.problem = QStringLiteral("invalid address %1").arg(url.toString());
        return result;
    }

    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeouts.transferMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    QNetworkReply *reply = network.get(request);
    // Qt reads from the socket only as far ahead of us as this.
    reply->setReadBufferSize(4 * PieceBytes);

    QEventLoop loop;
    bool answered = false;
    bool timedOut = false;
    QString stopped; // why this side ended the transfer
    QTimer connectTimer;
    connectTimer.setSingleShot(true);
    QTimer totalTimer;
    totalTimer.setSingleShot(true);
    // Neither a thread's interruption nor the user's cancel reaches an event loop: both are looked for.
    QTimer stopPoll;
    const auto stop = [&](const QString &why) {
        if (stopped.isEmpty())
            stopped = why;
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [&] {
        answered = true;
        connectTimer.stop();
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (statusOf(reply) == 200 && announced.isValid() && announced.toLongLong() > maxBytes)
            stop(QStringLiteral("announces %1 bytes: more than %2 bytes")
                     .arg(announced.toLongLong())
                     .arg(maxBytes));
    });
    const auto drain = [&] {
        while (stopped.isEmpty() && reply->isOpen() && reply->bytesAvailable() > 0) {
            const QByteArray piece = reply->read(PieceBytes);
            result.received += piece.size();
            if (result.received > maxBytes)
                stop(QStringLiteral("more than %1 bytes").arg(maxBytes));
            else if (statusOf(reply) == 200 && !sink(piece))
                stop(QStringLiteral("the download cannot be stored"));
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(&connectTimer, &QTimer::timeout, &loop, [&] {
        if (!answered) {
            timedOut = true;
            reply->abort();
        }
    });
    QObject::connect(&totalTimer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
        if (QThread::currentThread()->isInterruptionRequested())
            stop(QStringLiteral("interrupted"));
        else if (cancelRequested && cancelRequested())
            stop(QStringLiteral("cancelled"));
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connectTimer.start(timeouts.connectMs);
    if (timeouts.totalMs > 0)
        totalTimer.start(timeouts.totalMs);
    stopPoll.start(50);
    if (!reply->isFinished())
        loop.exec(cancelRequested ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    drain();

    const int status = statusOf(reply);
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (!stopped.isEmpty())
        result.problem = stopped;
    else if (timedOut)
        result.problem = QStringLiteral("no answer in time");
    else if (status >= 300 && status < 400)
        result.problem = QStringLiteral("redirected to %1, elsewhere than the update server: not followed")
                             .arg(reply->header(QNetworkRequest::LocationHeader).toUrl().toString());
    else if (status != 0 && status != 200)
        result.problem = QStringLiteral("HTTP status %1").arg(status);
    else if (reply->error() == QNetworkReply::OperationCanceledError)
        result.problem = QStringLiteral("no data for %1 ms").arg(timeouts.transferMs);
    else if (reply->error() != QNetworkReply::NoError)
        result.problem = reply->errorString();
    else if (announced.isValid() && announced.toLongLong() != result.received)
        result.problem = QStringLiteral("%1 of %2 bytes").arg(result.received).arg(announced.toLongLong());
    else if (result.received == 0)
        result.problem = QStringLiteral("empty download");
    delete reply;
    return result;
}
