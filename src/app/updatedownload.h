#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// How long the update download may take before start-up goes on without it.
struct UpdateTimeouts {
    int connectMs = 5000;  // until the server's answer (status line and headers) arrives
    int transferMs = 5000; // without a single byte arriving
    int totalMs = 120000;  // for the whole download, so a trickling server cannot hold start-up
};

// One download of the published build. A failed, timed-out, non-200, cut-short or empty reply
// gives no body and names the problem instead.
struct UpdateDownload {
    QByteArray body;
    QString problem; // empty when the body is a complete download

    bool succeeded() const { return problem.isEmpty(); }

    static UpdateDownload fetch(const QUrl &url, const UpdateTimeouts &timeouts = {});
};

// The update server's address: the environment variable QUILLON_UPDATE_URL when it is set (set
// but empty turns the check off), otherwise the address the program was built with. Empty means
// no update check and no network at start-up.
QString updateServerAddress();
// Where the published build lies under the server's address.
QUrl publishedBuildUrl(const QString &serverAddress);
