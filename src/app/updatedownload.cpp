#include "updatedownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

static constexpr qint64 PieceBytes = 64 * 1024;

namespace {

int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

QNetworkRequest requestFor(const QUrl &url, const UpdateTimeouts &timeouts)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(timeouts.transferMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    return request;
}

// One download under way: its reply, the timers that bound it and why this side ended it.
class Transfer {
public:
    Transfer(const QUrl &url, qint64 maxBytes, const UpdateDownload::Sink &sink,
             const UpdateTimeouts &timeouts, const std::function<bool()> &cancelRequested);
    ~Transfer() { delete m_reply; }
    Transfer(const Transfer &) = delete;
    Transfer &operator=(const Transfer &) = delete;

    // Runs the transfer to its end; returns the bytes received.
    qint64 run();
    // What went wrong, once run; empty when the whole body arrived.
    QString problem() const;

private:
    void connectReply();
    void connectTimers();
    // Stops at once a body announced larger than allowed.
    void headersArrived();
    // Hands what has arrived to the sink piece by piece.
    void drain();
    void stop(const QString &why);
    void stopIfInterruptedOrCancelled();

    const qint64 m_maxBytes;
    const UpdateDownload::Sink &m_sink;
    const UpdateTimeouts &m_timeouts;
    const std::function<bool()> &m_cancelRequested;
    QNetworkAccessManager m_network;
    QNetworkReply *m_reply;
    QEventLoop m_loop;
    QTimer m_connectTimer;
    QTimer m_totalTimer;
    // Neither a thread's interruption nor the user's cancel reaches an event loop: both are looked for.
    QTimer m_stopPoll;
    bool m_answered = false;
    bool m_timedOut = false;
    QString m_stopped; // why this side ended the transfer
    qint64 m_received = 0;
};

Transfer::Transfer(const QUrl &url, qint64 maxBytes, const UpdateDownload::Sink &sink,
                   const UpdateTimeouts &timeouts, const std::function<bool()> &cancelRequested)
    : m_maxBytes(maxBytes), m_sink(sink), m_timeouts(timeouts), m_cancelRequested(cancelRequested),
      m_reply(m_network.get(requestFor(url, timeouts)))
{
    // Qt reads from the socket only as far ahead of us as this.
    m_reply->setReadBufferSize(4 * PieceBytes);
    m_connectTimer.setSingleShot(true);
    m_totalTimer.setSingleShot(true);
}

qint64 Transfer::run()
{
    connectReply();
    connectTimers();
    m_connectTimer.start(m_timeouts.connectMs);
    if (m_timeouts.totalMs > 0)
        m_totalTimer.start(m_timeouts.totalMs);
    m_stopPoll.start(50);
    if (!m_reply->isFinished())
        m_loop.exec(m_cancelRequested ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    drain();
    return m_received;
}

void Transfer::connectReply()
{
    QObject::connect(m_reply, &QNetworkReply::metaDataChanged, &m_loop, [this] { headersArrived(); });
    QObject::connect(m_reply, &QNetworkReply::readyRead, &m_loop, [this] { drain(); });
    QObject::connect(m_reply, &QNetworkReply::finished, &m_loop, &QEventLoop::quit);
}

void Transfer::connectTimers()
{
    QObject::connect(&m_connectTimer, &QTimer::timeout, &m_loop, [this] {
        if (!m_answered) {
            m_timedOut = true;
            m_reply->abort();
        }
    });
    QObject::connect(&m_totalTimer, &QTimer::timeout, &m_loop, [this] {
        m_timedOut = true;
        m_reply->abort();
    });
    QObject::connect(&m_stopPoll, &QTimer::timeout, &m_loop, [this] { stopIfInterruptedOrCancelled(); });
}

void Transfer::headersArrived()
{
    m_answered = true;
    m_connectTimer.stop();
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (statusOf(m_reply) == 200 && announced.isValid() && announced.toLongLong() > m_maxBytes)
        stop(QStringLiteral("announces %1 bytes: more than %2 bytes")
                 .arg(announced.toLongLong())
                 .arg(m_maxBytes));
}

void Transfer::drain()
{
    while (m_stopped.isEmpty() && m_reply->isOpen() && m_reply->bytesAvailable() > 0) {
        const QByteArray piece = m_reply->read(PieceBytes);
        m_received += piece.size();
        if (m_received > m_maxBytes)
            stop(QStringLiteral("more than %1 bytes").arg(m_maxBytes));
        else if (statusOf(m_reply) == 200 && !m_sink(piece))
            stop(QStringLiteral("the download cannot be stored"));
    }
}

void Transfer::stop(const QString &why)
{
    if (m_stopped.isEmpty())
        m_stopped = why;
    m_reply->abort();
}

void Transfer::stopIfInterruptedOrCancelled()
{
    if (QThread::currentThread()->isInterruptionRequested())
        stop(QStringLiteral("interrupted"));
    else if (m_cancelRequested && m_cancelRequested())
        stop(QStringLiteral("cancelled"));
}

QString Transfer::problem() const
{
    const int status = statusOf(m_reply);
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (!m_stopped.isEmpty())
        return m_stopped;
    if (m_timedOut)
        return QStringLiteral("no answer in time");
    if (status >= 300 && status < 400)
        return QStringLiteral("redirected to %1, elsewhere than the update server: not followed")
            .arg(m_reply->header(QNetworkRequest::LocationHeader).toUrl().toString());
    if (status != 0 && status != 200)
        return QStringLiteral("HTTP status %1").arg(status);
    if (m_reply->error() == QNetworkReply::OperationCanceledError)
        return QStringLiteral("no data for %1 ms").arg(m_timeouts.transferMs);
    if (m_reply->error() != QNetworkReply::NoError)
        return m_reply->errorString();
    if (announced.isValid() && announced.toLongLong() != m_received)
        return QStringLiteral("%1 of %2 bytes").arg(m_received).arg(announced.toLongLong());
    if (m_received == 0)
        return QStringLiteral("empty download");
    return QString();
}

} // namespace

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
    Transfer transfer(url, maxBytes, sink, timeouts, cancelRequested);
    result.received = transfer.run();
    result.problem = transfer.problem();
    return result;
}
