#include "hex/converter.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "common/atomicoutputfile.h"
#include "common/hextext.h"
#include "common/inputfile.h"
#include "hex/intelhexreader.h"
#include "hex/intelhexwriter.h"
#include "hex/memoryimage.h"
#include "hex/progressthrottle.h"

namespace {

constexpr quint64 AddressSpaceEnd = Q_UINT64_C(0x100000000);
// Bytes handed to the writer between two looks at the clock; a multiple of 16 keeps the record grid.
constexpr qsizetype SliceSize = 256 * 1024;
constexpr qsizetype FillBlockSize = 1 << 20;

QString displayName(const QString &path)
{
    return QFileInfo(path).fileName();
}

ConversionResult failure(ConversionResult result, const QString &text)
{
    result.ok = false;
    result.errorText = text;
    return result;
}

QString replaceExtensionInName(const QString &path, QLatin1String from, QLatin1String to)
{
    const qsizetype slash = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString directory = path.left(slash + 1);
    QString name = path.mid(slash + 1);
    const QString original = name;
    name.replace(from, to, Qt::CaseSensitive);
    if (name == original)
        name += to;
    return directory + name;
}

bool sameFile(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    return first.absoluteFilePath() == second.absoluteFilePath() ||
           (first.exists() && second.exists() && first.canonicalFilePath() == second.canonicalFilePath());
}

// Maps the progress of one phase onto a share of the whole job, in thousandths.
ProgressCallback phaseProgress(const ProgressCallback &overall, int fromPerMille, int toPerMille)
{
    if (!overall)
        return {};
    return [overall, fromPerMille, toPerMille](qint64 done, qint64 total) {
        const qint64 span = toPerMille - fromPerMille;
        overall(fromPerMille + (total > 0 ? done * span / total : span), 1000);
    };
}

// Opens the input once; false (with the reason in the result) when it cannot be read.
bool openInput(InputFile &input, ConversionResult &result)
{
    if (input.open())
        return true;
    result.ok = false;
    result.errorText = QStringLiteral("%1: %2").arg(displayName(input.path()), input.problemText());
    return false;
}

// Fills the block from the device, so that a pipe's short reads do not break the 16-byte record
// grid; returns the bytes read (fewer only at the end of the input), -1 on a read error.
qint64 readFull(QIODevice &device, char *block, qint64 size)
{
    qint64 filled = 0;
    while (filled < size) {
        const qint64 got = device.read(block + filled, size - filled);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        filled += got;
    }
    return filled;
}

ConversionResult binToHex(InputFile &input, quint64 offset, const ConversionOptions &options,
                          ConversionResult result)
{
    result.inputFormat = InputFormat::Binary;
    const QString inputName = displayName(input.path());
    const auto tooLarge = [&](quint64 size) {
        return failure(result, QStringLiteral("%1: %2 байт по смещению %3 выходят за 4 ГиБ, которые адресует "
                                              "Intel HEX")
                                   .arg(inputName)
                                   .arg(size)
                                   .arg(HexText::address(offset)));
    };
    const qint64 knownSize = input.knownSize();
    if (offset >= AddressSpaceEnd ||
        offset + static_cast<quint64>(qMax<qint64>(0, knownSize)) > AddressSpaceEnd)
        return tooLarge(static_cast<quint64>(knownSize));

    AtomicOutputFile output(result.outputPath);
    if (!output.open())
        return failure(result, QStringLiteral("%1: не удалось записать файл: %2")
                                   .arg(displayName(result.outputPath), output.errorString()));

    // The input is streamed: a pipe has no size to map, and a large file needs no copy in memory.
    ProgressThrottle throttle(options.progress, qMax<qint64>(0, knownSize));
    IntelHexWriter writer(output.device());
    bool written = writer.begin(static_cast<quint32>(offset));
    QByteArray block(SliceSize, Qt::Uninitialized);
    quint64 position = 0;
    while (written) {
        const qint64 got = readFull(input.device(), block.data(), block.size());
        if (got < 0)
            return failure(result, QStringLiteral("%1: не удалось прочитать файл: %2")
                                       .arg(inputName, input.device().errorString()));
        if (got == 0)
            break;
        if (offset + position + static_cast<quint64>(got) > AddressSpaceEnd) {
            output.cancel();
            return tooLarge(position + static_cast<quint64>(got));
        }
        // After a failed write the writer's buffer is in doubt: nothing more may follow it.
        written = writer.writeData(offset + position, QByteArrayView(block.constData(), got));
        position += static_cast<quint64>(got);
        if (throttle.update(static_cast<qint64>(position)) && options.cancelRequested &&
            options.cancelRequested()) {
            output.cancel();
            result.cancelled = true;
            return result;
        }
    }
    if (!written || !writer.finish() || !output.commit())
        return failure(result, QStringLiteral("%1: не удалось записать файл: %2")
                                   .arg(displayName(result.outputPath), writer.errorString().isEmpty()
                                                                            ? output.errorString()
                                                                            : writer.errorString()));
    throttle.finish();
    result.ok = true;
    return result;
}

ConversionResult hexToBin(InputFile &input, const ConversionOptions &options, ConversionResult result)
{
    result.inputFormat = InputFormat::IntelHex;
    const QString inputName = displayName(input.path());
    IntelHexReader reader;
    reader.setMemoryLimit(LargestImageSize);
    if (!reader.read(input.device(), input.path(), phaseProgress(options.progress, 0, 400)))
        return failure(result, reader.error()->text());
    for (const HexDiagnostic &diagnostic : reader.diagnostics())
        result.warnings << diagnostic.text();
    if (options.cancelRequested && options.cancelRequested()) {
        result.cancelled = true;
        return result;
    }

    std::optional<MemoryImage::Conflict> conflict;
    const MemoryImage image = MemoryImage::fromChunks(reader.takeContent().chunks, &conflict);
    if (conflict)
        return failure(result, QStringLiteral("%1, строки %2 и %3: разные байты по адресу %4 (%5 и %6)")
                                   .arg(inputName)
                                   .arg(conflict->firstLine)
                                   .arg(conflict->secondLine)
                                   .arg(HexText::address(conflict->address))
                                   .arg(HexText::number(conflict->firstValue, 2),
                                        HexText::number(conflict->secondValue, 2)));
    if (image.endAddress() > LargestFlatImage)
        return failure(result, QStringLiteral("%1: данные доходят до адреса %2, двоичный образ от адреса 0 "
                                              "занял бы %3 МиБ; образы больше %4 МиБ не создаются")
                                   .arg(inputName, HexText::address(image.endAddress() - 1))
                                   .arg((image.endAddress() + (1 << 20) - 1) >> 20)
                                   .arg(LargestFlatImage >> 20));
    if (image.isEmpty())
        result.warnings << QStringLiteral("%1: в файле нет данных; двоичный файл пуст").arg(inputName);

    AtomicOutputFile output(result.outputPath);
    if (!output.open())
        return failure(result, QStringLiteral("%1: не удалось записать файл: %2")
                                   .arg(displayName(result.outputPath), output.errorString()));

    // Addresses without data stand for erased flash, written in large blocks rather than built in memory.
    const QByteArray erased(FillBlockSize, '\xFF');
    const ProgressCallback writeProgress = phaseProgress(options.progress, 400, 1000);
    ProgressThrottle throttle(writeProgress, static_cast<qint64>(image.endAddress()));
    quint64 position = 0;
    bool written = true;
    auto checkpoint = [&]() {
        return !(throttle.update(static_cast<qint64>(position)) && options.cancelRequested &&
                 options.cancelRequested());
    };
    for (const MemoryImage::Range &range : image.ranges()) {
        while (written && position < range.start) {
            const auto length = static_cast<qsizetype>(qMin<quint64>(FillBlockSize, range.start - position));
            written = output.write(erased.constData(), length);
            position += static_cast<quint64>(length);
            if (!checkpoint()) {
                output.cancel();
                result.cancelled = true;
                return result;
            }
        }
        for (qsizetype done = 0; written && done < range.bytes.size(); done += FillBlockSize) {
            const qsizetype length = qMin(FillBlockSize, range.bytes.size() - done);
            written = output.write(range.bytes.constData() + done, length);
            position += static_cast<quint64>(length);
            if (!checkpoint()) {
                output.cancel();
                result.cancelled = true;
                return result;
            }
        }
    }
    if (!written || !output.commit())
        return failure(result, QStringLiteral("%1: не удалось записать файл: %2")
                                   .arg(displayName(result.outputPath), output.errorString()));
    throttle.finish();
    result.ok = true;
    return result;
}

// The output path of a conversion, refused when it would be the input itself.
bool chooseOutput(ConversionResult &result, const QString &inputPath, const ConversionOptions &options,
                  QString (*besideInput)(const QString &))
{
    result.outputPath = options.outputPath.isEmpty() ? besideInput(inputPath) : options.outputPath;
    if (!sameFile(inputPath, result.outputPath)) {
        if (options.confirmReplace && QFileInfo::exists(result.outputPath) &&
            !options.confirmReplace(result.outputPath)) {
            result.cancelled = true;
            return false;
        }
        return true;
    }
    result.ok = false;
    result.errorText = QStringLiteral("%1: выходной файл заменил бы входной").arg(displayName(inputPath));
    return false;
}

} // namespace

QString hexOutputPathFor(const QString &binaryPath)
{
    return replaceExtensionInName(binaryPath, QLatin1String(".bin"), QLatin1String(".hex"));
}

QString binaryOutputPathFor(const QString &hexPath)
{
    return replaceExtensionInName(hexPath, QLatin1String(".hex"), QLatin1String(".bin"));
}

std::optional<quint64> parseLoadAddress(const QString &text)
{
    static const QRegularExpression whole(
        QRegularExpression::anchoredPattern(QLatin1String(LoadAddressPattern)));
    const QRegularExpressionMatch match = whole.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return text.mid(match.capturedLength(1)).toULongLong(nullptr, 16);
}

ConversionResult convertFile(const QString &inputPath, const BinaryOffsetQuestion &askOffset,
                             const ConversionOptions &options)
{
    ConversionResult result;
    InputFile input(inputPath);
    if (!openInput(input, result))
        return result;
    result.inputFormat = detectInputFormat(input.device());
    switch (result.inputFormat) {
    case InputFormat::Empty:
        return failure(result,
                       QStringLiteral("%1: файл пуст, конвертировать нечего").arg(displayName(inputPath)));
    case InputFormat::IntelHex:
        if (!chooseOutput(result, inputPath, options, binaryOutputPathFor))
            return result;
        return hexToBin(input, options, result);
    case InputFormat::Binary:
        break;
    }
    if (!chooseOutput(result, inputPath, options, hexOutputPathFor))
        return result;
    quint64 offset = 0;
    if (askOffset) {
        const std::optional<quint64> answer = askOffset();
        if (!answer) {
            result.cancelled = true;
            return result;
        }
        offset = *answer;
    }
    return binToHex(input, offset, options, result);
}

ConversionResult convertBinToHex(const QString &inputPath, quint64 offset, const ConversionOptions &options)
{
    ConversionResult result;
    if (!chooseOutput(result, inputPath, options, hexOutputPathFor))
        return result;
    InputFile input(inputPath);
    if (!openInput(input, result))
        return result;
    return binToHex(input, offset, options, result);
}

ConversionResult convertHexToBin(const QString &inputPath, const ConversionOptions &options)
{
    ConversionResult result;
    if (!chooseOutput(result, inputPath, options, binaryOutputPathFor))
        return result;
    InputFile input(inputPath);
    if (!openInput(input, result))
        return result;
    return hexToBin(input, options, result);
}
