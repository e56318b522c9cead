#include "releasemanifest.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include "atomicoutputfile.h"
#include "hextext.h"
#include "systemerror.h"

void ImageDigestBuilder::addData(const char *data, qint64 length)
{
    m_sha256.addData(data, length);
    m_crc32.addData(data, length);
    m_size += length;
}

ImageDigest ImageDigestBuilder::result()
{
    return {m_size, m_sha256.result(), m_crc32.result()};
}

QByteArray ReleaseManifest::toJson() const
{
    QJsonArray pieceList;
    for (const ManifestPiece &piece : pieces) {
        // The path as the user's file manager shows it ("C:\\fw\\boot.bin" on Windows).
        pieceList.append(QJsonObject{{QStringLiteral("source"), QDir::toNativeSeparators(piece.sourcePath)},
                                     {QStringLiteral("offset"), HexText::number(piece.offset, 8)},
                                     {QStringLiteral("size"), piece.size},
                                     {QStringLiteral("sha256"), QString::fromLatin1(piece.sha256.toHex())}});
    }
    QJsonObject root{
        {QStringLiteral("image"),
         QJsonObject{{QStringLiteral("file"), imageFileName},
                     {QStringLiteral("size"), image.size},
                     {QStringLiteral("sha256"), QString::fromLatin1(image.sha256.toHex())},
                     {QStringLiteral("crc32"), HexText::number(image.crc32, 8)}}},
        {QStringLiteral("pieces"), pieceList},
        {QStringLiteral("created"), created.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("tool"), QStringLiteral("Quillon %1").arg(QStringLiteral(QUILLON_VERSION))},
    };
    if (names) {
        root.insert(QStringLiteral("names"), QJsonObject{{QStringLiteral("version"), names->version},
                                                         {QStringLiteral("region"), names->region},
                                                         {QStringLiteral("firmware"), names->firmware}});
    }
    if (flashSize)
        root.insert(QStringLiteral("flashSize"), qint64(*flashSize));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString releaseManifestPath(const QString &imagePath)
{
    return imagePath + QStringLiteral(".manifest.json");
}

Result<std::optional<QByteArray>> readReleaseManifest(const QString &imagePath)
{
    // Far beyond a manifest of the most pieces an image can have.
    constexpr qint64 LargestManifest = 16 << 20;
    const QString path = releaseManifestPath(imagePath);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return std::optional<QByteArray>();
    if (!info.isFile())
        return Failure(
            Problem::error(QStringLiteral("не удалось прочитать файл: это не обычный файл"), path));
    if (info.size() > LargestManifest)
        return Failure(Problem::error(
            QStringLiteral("не удалось прочитать файл: он больше %1 МиБ").arg(LargestManifest >> 20), path));
    QFile file(path);
    SystemError::clear();
    if (!file.open(QIODevice::ReadOnly))
        return Failure(
            Problem::error(QStringLiteral("не удалось прочитать файл: %1").arg(SystemError::of(file)), path));
    return std::optional<QByteArray>(file.read(LargestManifest));
}

namespace {

// The manifest's root object; none, with the reason, when the text is not a manifest.
std::optional<QJsonObject> manifestRoot(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("это не JSON (%1 в байте %2)")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject() || !document.object().value(QStringLiteral("image")).isObject()) {
        *error = QStringLiteral("в нём не назван образ");
        return std::nullopt;
    }
    return document.object();
}

} // namespace

std::optional<ImageDigest> recordedImageDigest(const QByteArray &json, QString *error)
{
    const std::optional<QJsonObject> root = manifestRoot(json, error);
    if (!root)
        return std::nullopt;
    const QJsonObject image = root->value(QStringLiteral("image")).toObject();
    const QJsonValue size = image.value(QStringLiteral("size"));
    const QByteArray sha256 =
        QByteArray::fromHex(image.value(QStringLiteral("sha256")).toString().toLatin1());
    if (!size.isDouble() || size.toInteger(-1) < 0 || sha256.size() != 32) {
        *error = QStringLiteral("в нём нет размера или SHA-256 образа");
        return std::nullopt;
    }
    ImageDigest digest;
    digest.size = size.toInteger();
    digest.sha256 = sha256;
    return digest;
}

std::optional<QByteArray> manifestWithStamp(const QByteArray &json, const QString &imageFileName,
                                            const ImageDigest &digest, const ManifestStamp &stamp,
                                            QString *error)
{
    const std::optional<QJsonObject> parsed = manifestRoot(json, error);
    if (!parsed)
        return std::nullopt;
    QJsonObject root = *parsed;
    QJsonObject image = root.value(QStringLiteral("image")).toObject();
    image.insert(QStringLiteral("file"), imageFileName);
    image.insert(QStringLiteral("size"), digest.size);
    image.insert(QStringLiteral("sha256"), QString::fromLatin1(digest.sha256.toHex()));
    image.insert(QStringLiteral("crc32"), HexText::number(digest.crc32, 8));
    root.insert(QStringLiteral("image"), image);
    QJsonArray stamps = root.value(QStringLiteral("stamps")).toArray();
    stamps.append(QJsonObject{
        {QStringLiteral("algorithm"), stamp.algorithm},
        {QStringLiteral("range"), QJsonObject{{QStringLiteral("start"), HexText::address(stamp.rangeStart)},
                                              {QStringLiteral("end"), HexText::address(stamp.rangeEnd)}}},
        {QStringLiteral("address"), HexText::address(stamp.address)},
        {QStringLiteral("value"), HexText::address(stamp.value)},
    });
    root.insert(QStringLiteral("stamps"), stamps);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

StagedManifest::StagedManifest(const QString &imagePath)
    : m_imagePath(imagePath), m_file(releaseManifestPath(imagePath))
{}

std::optional<Problem> StagedManifest::stage(ReleaseManifest manifest)
{
    manifest.imageFileName = QFileInfo(m_imagePath).fileName();
    manifest.created = QDateTime::currentDateTimeUtc();
    // A manifest name past what file systems take (255 bytes) could only fail once the image is in
    // place: refuse it now, while the old image still stands.
    constexpr qsizetype LongestFileName = 255;
    if (QFileInfo(m_file.targetPath()).fileName().toUtf8().size() > LongestFileName)
        return failed(SystemError::text(ENAMETOOLONG));
    if (!m_file.open() || !m_file.write(manifest.toJson()))
        return failed(m_file.errorString());
    return std::nullopt;
}

std::optional<Problem> StagedManifest::commit()
{
    if (m_file.commit())
        return std::nullopt;
    return failed(m_file.errorString());
}

Problem StagedManifest::failed(const QString &reason)
{
    m_file.cancel();
    return Problem::error(QStringLiteral("Не удалось записать файл по пути: %1 (%2)")
                              .arg(QDir::toNativeSeparators(m_file.targetPath()), reason));
}
