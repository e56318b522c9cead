#include "assembly/imagepiece.h"

#include <QBuffer>
#include <QFile>

#include "assembly/assemblymessages.h"
#include "common/inputfile.h"
#include "common/reporter.h"
#include "hex/inputformat.h"
#include "hex/intelhexreader.h"

namespace {

// The longest end-of-file line: the record in either case with CR LF.
constexpr qint64 EndOfFileLineLength = 13;

void reportError(Reporter &reporter, const QString &text)
{
    reporter.message(MessageKind::Critical, ReportTitle::error(), text);
}

// Checks an Intel HEX piece to its end and finds what of it is placed; the problem when the text
// is not sound.
std::optional<HexDiagnostic> measureIntelHex(ImagePiece &piece, QIODevice &device)
{
    IntelHexReader reader;
    reader.setKeepData(false);
    if (!reader.read(device, piece.sourcePath))
        return reader.error().value_or(HexDiagnostic{});
    const IntelHexContent &content = reader.content();
    piece.dataStart = content.textStart;
    if (content.endOfFileStart < 0) {
        piece.dataSize = piece.fileSize - piece.dataStart;
        return std::nullopt;
    }
    piece.dataSize = content.endOfFileStart - piece.dataStart;
    QByteArray record = piece.fileBytes(content.endOfFileStart, EndOfFileLineLength);
    const qsizetype lineEnd = record.indexOf('\n');
    if (lineEnd >= 0)
        record.truncate(lineEnd + 1);
    piece.endOfFile = record;
    return std::nullopt;
}

bool measureIntelHex(ImagePiece &piece, QIODevice &device, Reporter &reporter)
{
    const std::optional<HexDiagnostic> problem = measureIntelHex(piece, device);
    if (problem)
        reportError(reporter, AssemblyText::hexError(piece.sourcePath, *problem));
    return !problem;
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
    const InputFormat format = detectInputFormat(input.device());
    piece.intelHex = format == InputFormat::IntelHex;
    if (input.isRereadable()) {
        piece.fileSize = input.knownSize();
        if (piece.fileSize > LargestImageSize) {
            reportError(reporter, AssemblyText::tooLarge(sourcePath));
            return std::nullopt;
        }
        piece.dataSize = piece.fileSize;
        if (piece.intelHex && !measureIntelHex(piece, input.device(), reporter))
            return std::nullopt;
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
    piece.dataSize = piece.fileSize;
    if (piece.intelHex) {
        QBuffer buffer(&piece.held);
        buffer.open(QIODevice::ReadOnly);
        if (!measureIntelHex(piece, buffer, reporter))
            return std::nullopt;
    }
    return piece;
}

ImagePiece makeImagePiece(const QString &sourcePath, const QByteArray &fileData)
{
    ImagePiece piece;
    piece.sourcePath = sourcePath;
    piece.held = fileData;
    piece.fileSize = fileData.size();
    piece.dataSize = piece.fileSize;
    QBuffer buffer(&piece.held);
    buffer.open(QIODevice::ReadOnly);
    piece.intelHex = detectInputFormat(buffer) == InputFormat::IntelHex;
    // Made on the spot: text that is not sound stays whole.
    if (piece.intelHex)
        measureIntelHex(piece, buffer);
    return piece;
}
