#pragma once

#include <functional>

#include <QByteArray>
#include <QString>
#include <QUrl>

// How long a download may take before start-up goes on without it.
struct UpdateTimeouts {
    int connectMs = 5000;  // until the server's answer (status line and headers) arrives
    int transferMs = 5000; // without a single byte arriving
    int totalMs = 120000;  // for the whole download, so a trickling server cannot hold start-up
};

// One download of a published file, bounded in size: the transfer stops as soon as the body
// (or the length the server announces) exceeds the bound. Redirects are followed only to the same
// scheme, host and port. A failed, timed-out, non-200, oversized, cut-short or empty reply names
// its problem.
struct UpdateDownload {
    // Takes each piece of the body as it arrives; false stops the transfer.
    using Sink = std::function<bool(const QByteArray &piece)>;

    QByteArray body; // fetch() only
    qint64 received = 0;
    QString problem; // empty when the whole body arrived

    bool succeeded() const { return problem.isEmpty(); }

    // Into memory: for the small files (the manifest and its signature).
    static UpdateDownload fetch(const QUrl &url, qint64 maxBytes, const UpdateTimeouts &timeouts = {});
    // Piece by piece into sink, holding no more than one piece in memory.
    static UpdateDownload stream(const QUrl &url, qint64 maxBytes, const Sink &sink,
                                 const UpdateTimeouts &timeouts = {});
};
