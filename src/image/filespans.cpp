#include "filespans.h"

#include <QByteArray>
#include <QIODevice>

bool readFileSpans(QIODevice &file, const QList<FileSpan> &spans, qint64 blockSize,
                   const std::function<bool(quint64 address, const char *bytes, qint64 length)> &take)
{
    QByteArray block(blockSize, Qt::Uninitialized);
    for (const FileSpan &span : spans) {
        if (!file.seek(span.fileOffset))
            return false;
        for (qint64 at = 0; at < span.length;) {
            const qint64 want = qMin(blockSize, span.length - at);
            if (file.read(block.data(), want) != want)
                return false;
            if (!take(span.address + static_cast<quint64>(at), block.constData(), want))
                return true;
            at += want;
        }
    }
    return true;
}
