#include "app/updatedownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#ifndef QUILLON_DEFAULT_UPDATE_URL
#define QUILLON_DEFAULT_UPDATE_URL ""
#endif

QString updateServerAddress()
{
    if (qEnvironmentVariableIsSet("QUILLON_UPDATE_URL"))
        return qEnvironmentVariable("QUILLON_UPDATE_URL").trimmed();
    return QStringLiteral(QUILLON_DEFAULT_UPDATE_URL).trimmed();
}

QUrl publishedBuildUrl(const QString &serverAddress)
{
    QString address = serverAddress;
    while (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return QUrl(address + QStringLiteral("/QUILL/Quillon.exe"));
}

UpdateDownload UpdateDownload::fetch(const QUrl &url, const UpdateTimeouts &timeouts)
{
    UpdateDownload result;
    if (!url.isValid() || url.host().isEmpty()) {
        result.problem = QStringLiteral("invalid address %1").arg(url.toString());
        return result;
    }

    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(timeouts.transferMs);
    QNetworkReply *reply = network.get(request);

    QEventLoop loop;
    bool answered = false;
    bool timedOut = false;
    QTimer connectTimer;
    connectTimer.setSingleShot(true);
    QTimer totalTimer;
    totalTimer.setSingleShot(true);
    const auto giveUp = [&] {
        timedOut = true;
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &connectTimer, [&] {
        answered = true;
        connectTimer.stop();
    });
    QObject::connect(&connectTimer, &QTimer::timeout, reply, [&] {
        if (!answered)
            giveUp();
    });
    QObject::connect(&totalTimer, &QTimer::timeout, reply, giveUp);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connectTimer.start(timeouts.connectMs);
    totalTimer.start(timeouts.totalMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    if (timedOut)
        result.problem = QStringLiteral("no answer in time");
    else if (reply->error() != QNetworkReply::NoError)
        result.problem = reply->errorString();
    else if (status != 200)
        result.problem = QStringLiteral("HTTP status %1").arg(status);
    else if (announced.isValid() && announced.toLongLong() != body.size())
        result.problem = QStringLiteral("%1 of %2 bytes").arg(body.size()).arg(announced.toLongLong());
    else if (body.isEmpty())
        result.problem = QStringLiteral("empty download");
    else
        result.body = body;
    delete reply;
    return result;
}
