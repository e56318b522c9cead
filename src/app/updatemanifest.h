#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QVersionNumber>

// What a published release says about itself, in the signed file beside the executable:
//   {"version": "2.4.0", "size": 1234567, "sha256": "<64 lower-case hex digits>"}
// Other members are allowed and ignored, so that later publishers may add some.
struct UpdateManifest {
    // Published files are bounded before they are read: the manifest and its signature are a few
    // bytes, and no build of this program comes near the executable's limit.
    static constexpr qint64 MaxManifestBytes = 4096;
    static constexpr qint64 MaxExecutableBytes = 512LL * 1024 * 1024;

    QVersionNumber version;
    qint64 size = 0;
    QByteArray sha256; // 64 lower-case hexadecimal digits

    // Empty, with problem set, when the text is not such a manifest.
    static std::optional<UpdateManifest> parse(const QByteArray &json, QString *problem);
    // "2.4.0" and the like: numbers separated by dots, nothing else.
    static std::optional<QVersionNumber> parseVersion(const QString &text);
    // Whether published is a later version than running (2.4 and 2.4.0 are the same version).
    static bool isNewer(const QVersionNumber &published, const QVersionNumber &running);
};
