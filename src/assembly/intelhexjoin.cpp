#include "assembly/intelhexjoin.h"

#include <limits>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "assembly/assemblymessages.h"
#include "assembly/releasemanifest.h"
#include "common/atomicoutputfile.h"
#include "common/hextext.h"
#include "common/reporter.h"
#include "hex/intelhexreader.h"
#include "hex/intelhexrecord.h"
#include "hex/memoryimage.h"

namespace {

// The overlap check runs over the data of all pieces at once; each piece's line numbers are moved
// into a band of their own so that a clash can be traced back to its file and line.
constexpr int LineBand = 1 << 28;
constexpr int MaximumPieces = (std::numeric_limits<int>::max() / LineBand) - 1;

constexpr char ResetExtendedAddress[] = ":020000040000FA";
constexpr char EndOfFileRecord[] = ":00000001FF";

// A checked piece ready to be laid into the image.
struct Piece {
    QString path;
    QByteArray records;          // its text without the end-of-file record and dropped start records
    quint32 baseLeft = 0;        // extended address in effect after its last record
    QByteArray lineEnd;          // the line end its first line uses; empty if it has none
    QList<IntelHexChunk> chunks; // its data, for the overlap check
    ManifestPiece manifest;      // the file as it was read, with its lowest data address
};

quint16 hexWord(const char *digits)
{
    // The text was checked by the reader already: every digit is valid.
    return static_cast<quint16>(hexDigitValue(digits[0]) << 12 | hexDigitValue(digits[1]) << 8 |
                                hexDigitValue(digits[2]) << 4 | hexDigitValue(digits[3]));
}

// Takes the records of an already checked HEX text up to its end-of-file record, drops its start
// address records when an earlier piece already gave one, and notes the extended address it leaves
// behind. Returns the number of lines looked at.
int collectRecords(const QByteArray &text, bool &startAddressTaken, Piece &piece)
{
    using namespace IntelHexLayout;
    const char *data = text.constData();
    const qsizetype size = text.size();
    qsizetype lineStart = 0;
    qsizetype copyFrom = 0; // start of the run of lines not yet copied
    qsizetype stop = size;
    int lines = 0;
    while (lineStart < size) {
        const qsizetype newline = text.indexOf('\n', lineStart);
        const qsizetype next = newline < 0 ? size : newline + 1;
        qsizetype contentEnd = newline < 0 ? size : newline;
        if (newline >= 0 && piece.lineEnd.isEmpty())
            piece.lineEnd =
                (newline > 0 && data[newline - 1] == '\r') ? QByteArray("\r\n") : QByteArray("\n");
        if (contentEnd > lineStart && data[contentEnd - 1] == '\r')
            --contentEnd;
        ++lines;
        // Every line has been checked, so a non-empty one is a whole record.
        if (contentEnd - lineStart >= MinimumLineLength) {
            const char *record = data + lineStart;
            const char typeHigh = record[TypeColumn];
            const char typeLow = record[TypeColumn + 1];
            if (typeHigh == '0') {
                if (typeLow == '1') {
                    stop = lineStart;
                    break;
                }
                if (typeLow == '2' || typeLow == '4') {
                    const quint32 value = hexWord(record + DataColumn);
                    piece.baseLeft = typeLow == '2' ? value << 4 : value << 16;
                } else if (typeLow == '3' || typeLow == '5') {
                    if (startAddressTaken) {
                        piece.records.append(data + copyFrom, lineStart - copyFrom);
                        copyFrom = next;
                    }
                    startAddressTaken = true;
                }
            }
        }
        lineStart = next;
    }
    if (stop > copyFrom)
        piece.records.append(data + copyFrom, stop - copyFrom);
    return lines;
}

QString diagnosticText(const QString &path, const HexDiagnostic &diagnostic)
{
    if (diagnostic.line > 0)
        return QStringLiteral("Ошибка в файле %1, строка %2: %3")
            .arg(path)
            .arg(diagnostic.line)
            .arg(diagnostic.message);
    return QStringLiteral("Ошибка в файле %1: %2").arg(path, diagnostic.message);
}

QString conflictText(const QList<Piece> &pieces, const MemoryImage::Conflict &conflict)
{
    const int firstPiece = conflict.firstLine / LineBand;
    const int secondPiece = conflict.secondLine / LineBand;
    const int firstLine = conflict.firstLine % LineBand;
    const int secondLine = conflict.secondLine % LineBand;
    if (firstPiece == secondPiece)
        return QStringLiteral(
                   "Файл %1 дважды задает адрес %2 разными данными: %3 в строке %4 и %5 в строке %6.")
            .arg(pieces.at(firstPiece).path, HexText::address(conflict.address),
                 HexText::number(conflict.firstValue, 2))
            .arg(firstLine)
            .arg(HexText::number(conflict.secondValue, 2))
            .arg(secondLine);
    return QStringLiteral("Файлы %1 и %2 пересекаются: по адресу %3 в первом %4 (строка %5), во втором %6 "
                          "(строка %7).")
        .arg(pieces.at(firstPiece).path, pieces.at(secondPiece).path, HexText::address(conflict.address),
             HexText::number(conflict.firstValue, 2))
        .arg(firstLine)
        .arg(HexText::number(conflict.secondValue, 2))
        .arg(secondLine);
}

void reportError(Reporter &reporter, const QString &text)
{
    reporter.message(MessageKind::Critical, ReportTitle::error(), text);
}

} // namespace

IntelHexJoinResult joinIntelHexFiles(const IntelHexJoinJob &job, Reporter &reporter,
                                     const ProgressCallback &progress)
{
    using Outcome = IntelHexJoinResult::Outcome;
    IntelHexJoinResult result;
    const auto failed = [&](const QString &text) {
        reportError(reporter, text);
        result.outcome = Outcome::Failed;
        return result;
    };
    const auto isCancelled = [&job] {
        return job.cancelled && job.cancelled();
    };

    if (job.sources.isEmpty()) {
        reporter.message(MessageKind::Warning, ReportTitle::warning(),
                         QStringLiteral("Нечего собирать: не отмечен ни один файл."));
        result.outcome = Outcome::NothingToJoin;
        return result;
    }
    if (job.sources.size() > MaximumPieces)
        return failed(QStringLiteral("Слишком много файлов для сборки: %1.").arg(job.sources.size()));
    if (job.outputDir.isEmpty()) {
        reporter.message(MessageKind::Warning, ReportTitle::warning(), AssemblyText::noOutputDirectory());
        result.outcome = Outcome::NothingToJoin;
        return result;
    }
    if (!QFileInfo(job.outputDir).isDir())
        return failed(QStringLiteral("Не найдена директория по пути: ") + job.outputDir);
    if (QFileInfo(job.fileName).completeBaseName().isEmpty())
        return failed(QStringLiteral("Не задано имя out-file."));

    QList<Piece> pieces;
    bool startAddressTaken = false;
    for (const QString &path : job.sources) {
        if (isCancelled()) {
            result.outcome = Outcome::Cancelled;
            return result;
        }
        if (path.isEmpty())
            return failed(QStringLiteral("Один из отмеченных файлов не выбран."));
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            return failed(QStringLiteral("Не удалось открыть файл по пути: ") + path);
        QByteArray text = file.readAll();
        file.close();

        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        IntelHexReader reader;
        if (!reader.read(buffer, path))
            return failed(diagnosticText(path, reader.error().value_or(HexDiagnostic{})));

        Piece piece;
        piece.path = path;
        const int lines = collectRecords(text, startAddressTaken, piece);
        if (lines >= LineBand)
            return failed(QStringLiteral("Файл %1 слишком велик для сборки.").arg(path));
        piece.chunks = reader.takeContent().chunks;
        quint64 lowestAddress = piece.chunks.isEmpty() ? 0 : std::numeric_limits<quint64>::max();
        for (const IntelHexChunk &chunk : piece.chunks)
            lowestAddress = qMin<quint64>(lowestAddress, chunk.address);
        piece.manifest = {QFileInfo(path).absoluteFilePath(), qint64(lowestAddress), text.size(),
                          QCryptographicHash::hash(text, QCryptographicHash::Sha256)};
        const int band = static_cast<int>(pieces.size()) * LineBand;
        for (IntelHexChunk &chunk : piece.chunks)
            chunk.line += band;
        pieces.append(std::move(piece));
        if (progress)
            progress(pieces.size(), job.sources.size());
    }

    QList<IntelHexChunk> allData;
    for (Piece &piece : pieces) {
        allData.append(std::move(piece.chunks));
        piece.chunks.clear();
    }
    std::optional<MemoryImage::Conflict> conflict;
    MemoryImage::fromChunks(std::move(allData), &conflict);
    if (conflict)
        return failed(conflictText(pieces, *conflict));

    QByteArray lineEnd;
    for (const Piece &piece : pieces) {
        if (!piece.lineEnd.isEmpty()) {
            lineEnd = piece.lineEnd;
            break;
        }
    }
    if (lineEnd.isEmpty())
        lineEnd = IntelHexLayout::LineEnd;

    qsizetype total = 0;
    for (const Piece &piece : pieces)
        total += piece.records.size() + 2 * (sizeof(ResetExtendedAddress) + lineEnd.size());
    QByteArray image;
    image.reserve(total + sizeof(EndOfFileRecord) + lineEnd.size());
    for (qsizetype index = 0; index < pieces.size(); ++index) {
        const Piece &piece = pieces.at(index);
        image.append(piece.records);
        if (!image.isEmpty() && !image.endsWith('\n'))
            image.append(lineEnd);
        if (piece.baseLeft != 0 && index + 1 < pieces.size())
            image.append(ResetExtendedAddress).append(lineEnd);
    }
    image.append(EndOfFileRecord).append(lineEnd);

    if (isCancelled()) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    const QString imagePath = QDir(job.outputDir).filePath(job.fileName);
    AtomicOutputFile output(imagePath);
    if (!output.open())
        return failed(QStringLiteral("Не удалось открыть файл для записи по пути: ") + job.outputDir);
    const auto writeFailed = [&] {
        return failed(
            QStringLiteral("Не удалось записать файл по пути: %1 (%2)").arg(imagePath, output.errorString()));
    };
    if (!output.write(image))
        return writeFailed();

    ReleaseManifest manifest;
    ImageDigestBuilder digest;
    digest.addData(image.constData(), image.size());
    manifest.image = digest.result();
    for (const Piece &piece : pieces)
        manifest.pieces.append(piece.manifest);
    StagedManifest staged(imagePath);
    if (!staged.stage(manifest, reporter)) {
        output.cancel();
        result.outcome = Outcome::Failed;
        return result;
    }
    if (!output.commit())
        return writeFailed();
    if (!staged.commit(reporter)) {
        result.outcome = Outcome::Failed;
        return result;
    }

    result.outcome = Outcome::Joined;
    result.imagePath = imagePath;
    return result;
}
