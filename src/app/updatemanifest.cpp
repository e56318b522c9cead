#include "updatemanifest.h"

#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

std::optional<QVersionNumber> UpdateManifest::parseVersion(const QString &text)
{
    static const QRegularExpression dottedNumbers(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,9}){0,7}$"));
    if (!dottedNumbers.match(text).hasMatch())
        return std::nullopt;
    return QVersionNumber::fromString(text);
}

bool UpdateManifest::isNewer(const QVersionNumber &published, const QVersionNumber &running)
{
    return QVersionNumber::compare(published.normalized(), running.normalized()) > 0;
}

std::optional<UpdateManifest> UpdateManifest::parse(const QByteArray &json, QString *problem)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        *problem = QStringLiteral("the manifest is not JSON: %1 at byte %2")
                       .arg(error.errorString())
                       .arg(error.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        *problem = QStringLiteral("the manifest is not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();

    UpdateManifest manifest;
    const QJsonValue version = object.value(QStringLiteral("version"));
    const std::optional<QVersionNumber> parsedVersion = parseVersion(version.toString());
    if (!version.isString() || !parsedVersion) {
        *problem = QStringLiteral("the manifest's \"version\" is not dotted numbers");
        return std::nullopt;
    }
    manifest.version = *parsedVersion;

    const QJsonValue size = object.value(QStringLiteral("size"));
    const double bytes = size.toDouble(-1);
    if (!size.isDouble() || bytes < 1 || bytes > double(MaxExecutableBytes) || std::floor(bytes) != bytes) {
        *problem = QStringLiteral("the manifest's \"size\" is not a whole number of bytes from 1 to %1")
                       .arg(MaxExecutableBytes);
        return std::nullopt;
    }
    manifest.size = qint64(bytes);

    static const QRegularExpression lowerHex(QStringLiteral("^[0-9a-f]{64}$"));
    const QJsonValue sha256 = object.value(QStringLiteral("sha256"));
    if (!sha256.isString() || !lowerHex.match(sha256.toString()).hasMatch()) {
        *problem = QStringLiteral("the manifest's \"sha256\" is not 64 lower-case hexadecimal digits");
        return std::nullopt;
    }
    manifest.sha256 = sha256.toString().toLatin1();
    return manifest;
}
