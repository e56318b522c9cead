#include "assembly/imagepiece.h"

#include <QFile>

#include "common/reporter.h"

QByteArray ImagePiece::fileBytes(qint64 offset, qint64 length) const
{
    if (offset < 0 || length <= 0)
        return {};
    return data.mid(offset, length);
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
    return ImagePiece{sourcePath, fileData};
}
