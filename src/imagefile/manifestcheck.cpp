#include "manifestcheck.h"

#include "imagelimits.h"
#include "inputfile.h"
#include "releasemanifest.h"
#include "sha256.h"

namespace {

// The image file's size and SHA-256, as a build records them; why not, when it cannot be read.
std::optional<ImageDigest> digestOfFile(const QString &path, QString *error)
{
    InputFile input(path);
    Sha256 sha;
    ImageDigest digest;
    const bool read = input.open() && input.readInBlocks(LargestImageSize, [&](QByteArrayView block) {
        sha.addData(block);
        digest.size += block.size();
    });
    if (!read) {
        *error = input.problemText(LargestImageSize);
        return std::nullopt;
    }
    digest.sha256 = sha.result();
    return digest;
}

QString difference(const ImageDigest &recorded, const ImageDigest &actual)
{
    if (recorded.size != actual.size)
        return QStringLiteral("в манифесте размер %1 байт, у образа %2").arg(recorded.size).arg(actual.size);
    return QStringLiteral("в манифесте SHA-256 %1, у образа %2")
        .arg(QString::fromLatin1(recorded.sha256.toHex()), QString::fromLatin1(actual.sha256.toHex()));
}

} // namespace

QString ManifestCheck::line() const
{
    const char *verdicts[] = {"matches", "does not match this image", "cannot be read"};
    return QStringLiteral("manifest: %1 (%2)").arg(path, QLatin1String(verdicts[int(verdict)]));
}

std::optional<Problem> ManifestCheck::problem() const
{
    if (verdict == Verdict::Matches)
        return std::nullopt;
    if (verdict == Verdict::Unreadable)
        return Problem::warning(reason, path);
    return Problem::warning(QStringLiteral("манифест выпуска не соответствует образу: ") + reason, path);
}

std::optional<ManifestCheck> checkReleaseManifest(const QString &imagePath,
                                                  const std::optional<ImageDigest> &fileDigest)
{
    const Result<std::optional<QByteArray>> text = readReleaseManifest(imagePath);
    if (text && !text.value())
        return std::nullopt;
    ManifestCheck check{releaseManifestPath(imagePath), ManifestCheck::Verdict::Unreadable, QString()};
    if (!text) {
        check.reason = text.problems().first().message;
        return check;
    }
    QString error;
    const std::optional<ImageDigest> recorded = recordedImageDigest(*text.value(), &error);
    if (!recorded) {
        check.reason = QStringLiteral("это не манифест выпуска: ") + error;
        return check;
    }
    const std::optional<ImageDigest> actual = fileDigest ? fileDigest : digestOfFile(imagePath, &error);
    if (!actual) {
        check.reason = QStringLiteral("не удалось прочитать образ: ") + error;
        return check;
    }
    const bool same = recorded->size == actual->size && recorded->sha256 == actual->sha256;
    check.verdict = same ? ManifestCheck::Verdict::Matches : ManifestCheck::Verdict::Differs;
    if (!same)
        check.reason = difference(*recorded, *actual);
    return check;
}
