#include "imagepiece.h"

#include "assemblymessages.h"
#include "inputfile.h"

QByteArray ImagePiece::fileBytes(qint64 offset, qint64 length) const
{
    if (offset < 0 || length <= 0)
        return {};
    if (isHeld())
        return held.mid(offset, length);
    QIODevice &device = file->device();
    if (!device.seek(offset))
        return {};
    return device.read(length);
}

QIODevice *ImagePiece::device() const
{
    return file ? &file->device() : nullptr;
}

Result<ImagePiece> openImagePiece(const QString &sourcePath, qint64 &heldBudget)
{
    ImagePiece piece;
    piece.sourcePath = sourcePath;
    auto input = std::make_shared<InputFile>(sourcePath);
    if (!input->open())
        return Failure(Problem::error(AssemblyText::inputProblem(sourcePath, *input)));
    piece.format = detectInputFormat(input->device());
    if (input->isRereadable()) {
        piece.fileSize = input->knownSize();
        if (piece.fileSize > LargestImageSize)
            return Failure(Problem::error(AssemblyText::tooLarge(sourcePath)));
        piece.file = std::move(input);
        return piece;
    }

    // Read once, to its end: held, so that every image it goes into gets the same bytes.
    std::optional<QByteArray> data = input->readToEnd(qMin(heldBudget, LargestImageSize));
    if (!data) {
        return Failure(Problem::error(input->problem() == InputFile::Problem::TooLarge
                                          ? AssemblyText::tooLarge(sourcePath)
                                          : AssemblyText::inputProblem(sourcePath, *input)));
    }
    heldBudget -= data->size();
    piece.held = std::move(*data);
    piece.fileSize = piece.held.size();
    return piece;
}
