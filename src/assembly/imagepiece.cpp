#include "assembly/imagepiece.h"

#include <QFile>

#include "common/reporter.h"
#include "discovery/sourcefiles.h"

namespace {
const QByteArray HexEndOfFileRecord = QByteArrayLiteral(":00000001FF");
} // namespace

QByteArray ImagePiece::fileBytes(qint64 offset, qint64 length) const
{
    if (offset < 0 || length <= 0)
        return {};
    QByteArray bytes = data.mid(offset, length);
    if (bytes.size() < length && !endOfFile.isEmpty()) {
        const qint64 tailStart = qMax<qint64>(0, offset - data.size());
        bytes += endOfFile.mid(tailStart, length - bytes.size());
    }
    return bytes;
}

qsizetype findHexEndOfFile(const QByteArray &data)
{
    // Only a record that starts a line is one: the same bytes inside a line are data.
    const auto lastAtLineStart = [&data](const QByteArray &record) {
        for (qsizetype at = data.lastIndexOf(record); at >= 0; at = data.lastIndexOf(record, at - 1)) {
            if (at == 0 || data.at(at - 1) == '\n')
                return at;
        }
        return qsizetype(-1);
    };
    return qMax(lastAtLineStart(HexEndOfFileRecord), lastAtLineStart(HexEndOfFileRecord.toLower()));
}

ImagePiece makeImagePiece(const QString &sourcePath, const QByteArray &fileData)
{
    ImagePiece piece;
    piece.sourcePath = sourcePath;
    piece.intelHex = isIntelHexText(fileData);
    const qsizetype endOfFile = piece.intelHex ? findHexEndOfFile(fileData) : -1;
    if (endOfFile >= 0) {
        piece.data = fileData.left(endOfFile);
        piece.endOfFile = fileData.mid(endOfFile);
    } else {
        piece.data = fileData;
    }
    return piece;
}

std::optional<ImagePiece> readImagePiece(const QString &sourcePath, Reporter &reporter)
{
    QFile file(sourcePath);
    if (sourcePath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        reporter.message(MessageKind::Critical, ReportTitle::error(),
                         QStringLiteral("Не удалось открыть файл по пути: ") + sourcePath);
        return std::nullopt;
    }
    const QByteArray fileData = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reporter.message(MessageKind::Critical, ReportTitle::error(),
                         QStringLiteral("Не удалось открыть файл по пути: ") + sourcePath);
        return std::nullopt;
    }
    return makeImagePiece(sourcePath, fileData);
}
