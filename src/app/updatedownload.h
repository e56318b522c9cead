#pragma once

#include <functional>

#include <QByteArray>
#include <QString>
#include <QUrl>

// How long a download may take before the program goes on without it.
struct UpdateTimeouts {
    int connectMs = 5000;  // until the server's answer (status line and headers) arrives
    int transferMs = 5000; // without a single byte arriving
    // For the whole check (manifest and signature together), so that a trickling server cannot
    // keep it going. The executable, downloaded while the user watches its progress and may
    // cancel, has no such limit.
    int totalMs = 10000;
};

// One download of a published file, bounded in size: the transfer stops as soon as the body
// (or the length the server announces) exceeds the bound. Redirects are followed only to the same
// scheme, host and port. A failed, timed-out, non-200, oversized, cut-short or empty reply names
// its problem. A download on a thread whose interruption is requested stops soon after.
struct UpdateDownload {
    // Takes each piece of the body as it arrives; false stops the transfer.
    using Sink = std::function<bool(const QByteArray &piece)>;

    QByteArray body; // fetch() only
    qint64 received = 0;
    QString problem; // empty when the whole body arrived

    bool succeeded() const { return problem.isEmpty(); }

    // Into memory: for the small files (the manifest and its signature).
    static UpdateDownload fetch(const QUrl &url, qint64 maxBytes, const UpdateTimeouts &timeouts = {});
    // Piece by piece into sink, holding no more than one piece in memory. A totalMs of 0 sets no
    // limit on the whole download. With cancelRequested, asked every few milliseconds, the user can
    // work a progress dialog meanwhile (its modality keeps the rest of the window out of reach) and
    // stop the transfer.
    static UpdateDownload stream(const QUrl &url, qint64 maxBytes, const Sink &sink,
                                 const UpdateTimeouts &timeouts = {},
                                 const std::function<bool()> &cancelRequested = {});
};
