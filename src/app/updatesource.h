#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Where updates come from and whom they must be signed by. Both are built in (the CMake cache
// variables QUILLON_UPDATE_URL and QUILLON_UPDATE_PUBLIC_KEY) and replaced at run time by the
// environment variable of the same name; a variable set but empty means none. Without an address
// or without a key there is no update check and no network at start-up.
struct UpdateSource {
    QString address;
    QByteArray publicKey; // 32 raw bytes, or empty
    QString keyProblem;   // why a key that was given is unusable

    static UpdateSource fromBuildAndEnvironment();
    static QString builtInAddress();
    static QString builtInPublicKey();

    // A published file: "<address>/QUILL/<name>".
    QUrl fileUrl(const QString &name) const;
};
