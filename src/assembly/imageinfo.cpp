#include "assembly/imageinfo.h"

#include <QCryptographicHash>
#include <QIODevice>

#include "common/crc32.h"
#include "common/hextext.h"
#include "common/inputfile.h"
#include "hex/inputformat.h"
#include "hex/intelhexreader.h"
#include "hex/memoryimage.h"

namespace {

constexpr qint64 ReadBlockSize = 1 << 20;

QString rangeLine(const char *key, quint64 start, quint64 end)
{
    return QStringLiteral("%1: %2-%3 (%4 bytes)")
        .arg(QLatin1String(key), HexText::address(start), HexText::address(end - 1))
        .arg(end - start);
}

bool measureBinary(QIODevice &file, ImageInfo &info, QString *error)
{
    QCryptographicHash sha(QCryptographicHash::Sha256);
    QByteArray block(ReadBlockSize, Qt::Uninitialized);
    Crc32 crc;
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(block.data(), block.size());
        if (got < 0) {
            *error = QStringLiteral("%1: не удалось прочитать файл: %2").arg(info.path, file.errorString());
            return false;
        }
        if (got == 0)
            break;
        sha.addData(QByteArrayView(block.constData(), got));
        crc.addData(block.constData(), got);
        total += got;
    }
    info.dataSize = total;
    info.fileSize = total;
    info.sha256 = sha.result();
    info.crc32 = crc.result();
    return true;
}

bool measureIntelHex(QIODevice &file, ImageInfo &info, QString *error)
{
    IntelHexReader reader;
    qint64 fileSize = 0;
    reader.setBlockObserver([&fileSize](QByteArrayView block) { fileSize += block.size(); });
    if (!reader.read(file, info.path)) {
        const HexDiagnostic diagnostic = reader.error().value_or(HexDiagnostic{});
        *error = diagnostic.line > 0 ? QStringLiteral("%1, строка %2: %3")
                                           .arg(info.path)
                                           .arg(diagnostic.line)
                                           .arg(diagnostic.message)
                                     : QStringLiteral("%1: %2").arg(info.path, diagnostic.message);
        return false;
    }
    // What follows the end-of-file record still counts to the file's size.
    QByteArray rest(ReadBlockSize, Qt::Uninitialized);
    for (qint64 got; (got = file.read(rest.data(), rest.size())) > 0;)
        fileSize += got;
    info.fileSize = fileSize;
    info.warnings = reader.diagnostics();
    IntelHexContent content = reader.takeContent();
    info.startAddress = content.startAddress;
    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(std::move(content.chunks), &conflict);
    if (conflict) {
        *error =
            QStringLiteral("%1: строки %2 и %3 дают разные байты по адресу %4 (%5 и %6)")
                .arg(info.path)
                .arg(conflict->firstLine)
                .arg(conflict->secondLine)
                .arg(HexText::address(conflict->address))
                .arg(HexText::number(conflict->firstValue, 2), HexText::number(conflict->secondValue, 2));
        return false;
    }
    QCryptographicHash sha(QCryptographicHash::Sha256);
    Crc32 crc;
    for (const MemoryImage::Range &range : image.ranges()) {
        sha.addData(range.bytes);
        crc.addData(range.bytes);
    }
    info.dataSize = image.dataSize();
    info.ranges = image.spans();
    info.sha256 = sha.result();
    info.crc32 = crc.result();
    return true;
}

} // namespace

std::optional<ImageInfo> inspectImage(const QString &path, QString *error)
{
    ImageInfo info;
    info.path = path;
    InputFile input(path);
    if (!input.open()) {
        *error = QStringLiteral("%1: %2").arg(path, input.problemText());
        return std::nullopt;
    }
    // The converter's decision: an empty file, like any that does not start with a record, is binary.
    info.format = detectInputFormat(input.device()) == InputFormat::IntelHex ? ImageInfo::Format::IntelHex
                                                                             : ImageInfo::Format::Binary;
    const bool measured = info.format == ImageInfo::Format::IntelHex
                              ? measureIntelHex(input.device(), info, error)
                              : measureBinary(input.device(), info, error);
    if (!measured)
        return std::nullopt;
    return info;
}

QStringList ImageInfo::lines() const
{
    QStringList out;
    const bool hex = format == Format::IntelHex;
    out << QStringLiteral("file: %1").arg(path);
    out << QStringLiteral("format: %1").arg(hex ? QStringLiteral("intel-hex") : QStringLiteral("binary"));
    out << QStringLiteral("size: %1").arg(fileSize);
    if (hex) {
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
               .arg(hex ? QStringLiteral("the data bytes in address order, gaps not included")
                        : QStringLiteral("the whole file"));
    return out;
}
