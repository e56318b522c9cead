#include "imageinfo.h"

#include "crc32.h"
#include "hextext.h"
#include "imagescan.h"
#include "releasemanifest.h"
#include "sha256.h"

namespace {

QString rangeLine(const char *key, quint64 start, quint64 end)
{
    return QStringLiteral("%1: %2-%3 (%4 bytes)")
        .arg(QLatin1String(key), HexText::address(start), HexText::address(end - 1))
        .arg(end - start);
}

// The header's text as it can be shown on one line: printable ASCII as it is, anything else as \xNN.
QString printableText(const QByteArray &bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\')
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x") + HexText::digits(byte, 2);
    }
    return text;
}

// The file's contents read in the format they have. Nothing is held: the sums are taken as the
// scan hands the data over.
Result<ImageInfo> inspectContents(const QString &path)
{
    std::optional<Sha256> sha(std::in_place);
    Crc32 crc;
    ScanVisitor visit;
    visit.data = [&](const char *data, qint64 length) {
        sha->addData(data, length);
        crc.addData(data, length);
    };
    visit.restart = [&] {
        sha.emplace();
        crc = Crc32();
    };
    const ImageScan scan = scanImageFile(path, visit);
    if (!scan.ok())
        return Failure(Problem::error(scan.errorText));
    ImageInfo info;
    info.path = path;
    // An empty file, like any that does not start with a record, is binary.
    info.format = scan.format == InputFormat::Empty ? InputFormat::Binary : scan.format;
    info.fileSize = scan.fileSize;
    info.dataSize = scan.dataSize;
    if (info.hasAddresses())
        info.ranges = scan.ranges;
    info.startAddress = scan.startAddress;
    info.header = scan.header;
    info.warnings = scan.warnings;
    info.sha256 = sha->result();
    info.crc32 = crc.result();
    return info;
}

} // namespace

Result<ImageInfo> inspectImage(const QString &path)
{
    Result<ImageInfo> info = inspectContents(path);
    if (!info)
        return info;
    // A binary's checksums are the file's own, those a manifest records.
    std::optional<ImageDigest> fileDigest;
    if (!info->hasAddresses())
        fileDigest = ImageDigest{info->fileSize, info->sha256, info->crc32};
    info.value().manifest = checkReleaseManifest(path, fileDigest);
    if (info->manifest) {
        if (const std::optional<Problem> problem = info->manifest->problem())
            info.value().warnings << *problem;
    }
    return info;
}

QStringList ImageInfo::lines() const
{
    QStringList out;
    out << QStringLiteral("file: %1").arg(path);
    out << QStringLiteral("format: %1").arg(inputFormatName(format));
    out << QStringLiteral("size: %1").arg(fileSize);
    if (hasAddresses()) {
        if (format == InputFormat::SRecord)
            out << QStringLiteral("header: %1").arg(printableText(header));
        out << QStringLiteral("data: %1").arg(dataSize);
        out << QStringLiteral("ranges: %1 (inclusive, hex)").arg(ranges.size());
        for (qsizetype i = 0; i < ranges.size(); ++i) {
            if (i > 0)
                out << rangeLine("gap", ranges.at(i - 1).second, ranges.at(i).first);
            out << rangeLine("range", ranges.at(i).first, ranges.at(i).second);
        }
        out << QStringLiteral("start: %1")
                   .arg(startAddress ? HexText::address(*startAddress) : QStringLiteral("none"));
    }
    out << QStringLiteral("sha256: %1").arg(QString::fromLatin1(sha256.toHex()));
    out << QStringLiteral("crc32: %1").arg(HexText::address(crc32));
    out << QStringLiteral("checksums-of: %1")
               .arg(hasAddresses() ? QStringLiteral("the data bytes in address order, gaps not included")
                                   : QStringLiteral("the whole file"));
    if (manifest)
        out << manifest->line();
    return out;
}
