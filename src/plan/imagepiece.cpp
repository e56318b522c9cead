#include "imagepiece.h"

#include <QFile>

#include "assemblymessages.h"
#include "inputfile.h"
#include "inputformat.h"
#include "reporter.h"

namespace {

void reportError(Reporter &reporter, const QString &text)
{
    reporter.message(MessageKind::Critical, ReportTitle::error(), text);
}

} // namespace

QByteArray ImagePiece::fileBytes(qint64 offset, qint64 length) const
{
    if (offset < 0 || length <= 0)
        return {};
    if (isHeld())
        return held.mid(offset, length);
    QFile file(sourcePath);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    return file.read(length);
}

std::optional<ImagePiece> openImagePiece(const QString &sourcePath, Reporter &reporter, qint64 &heldBudget)
{
    ImagePiece piece;
    piece.sourcePath = sourcePath;
    InputFile input(sourcePath);
    if (!input.open()) {
        reportError(reporter, AssemblyText::inputProblem(sourcePath, input));
        return std::nullopt;
    }
    piece.format = detectInputFormat(input.device());
    if (input.isRereadable()) {
        piece.fileSize = input.knownSize();
        if (piece.fileSize > LargestImageSize) {
            reportError(reporter, AssemblyText::tooLarge(sourcePath));
            return std::nullopt;
        }
        return piece;
    }

    // Read once, to its end: held, so that every image it goes into gets the same bytes.
    std::optional<QByteArray> data = input.readToEnd(qMin(heldBudget, LargestImageSize));
    if (!data) {
        reportError(reporter, input.problem() == InputFile::Problem::TooLarge
                                  ? AssemblyText::tooLarge(sourcePath)
                                  : AssemblyText::inputProblem(sourcePath, input));
        return std::nullopt;
    }
    heldBudget -= data->size();
    piece.held = std::move(*data);
    piece.fileSize = piece.held.size();
    return piece;
}
