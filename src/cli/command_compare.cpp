#include "clireporter.h"
#include "commandline.h"
#include "commands.h"

#include <QTextStream>

#include "hextext.h"
#include "imagecompare.h"
#include "imageloader.h"

namespace {

constexpr int ListedDifferences = 20;

QString byteText(std::optional<quint8> byte, const QString &file)
{
    if (!byte)
        return QStringLiteral("nothing in %1").arg(file);
    return QStringLiteral("0x%1 in %2")
        .arg(QString::number(*byte, 16).toUpper().rightJustified(2, QLatin1Char('0')), file);
}

QString differenceLine(const ImageDifference &difference, const QString &first, const QString &second)
{
    QString kind;
    switch (difference.kind) {
    case ImageDifference::Kind::Different:
        kind = QStringLiteral("differ");
        break;
    case ImageDifference::Kind::OnlyInFirst:
        kind = QStringLiteral("only in %1").arg(first);
        break;
    case ImageDifference::Kind::OnlyInSecond:
        kind = QStringLiteral("only in %1").arg(second);
        break;
    }
    return QStringLiteral("%1: %2-%3 (%4 bytes), first: %5, %6")
        .arg(kind, HexText::address(difference.start), HexText::address(difference.end - 1))
        .arg(difference.end - difference.start)
        .arg(byteText(difference.first, first), byteText(difference.second, second));
}

// Says what was read of one file, or why it could not be; false for the latter.
bool reportLoaded(const LoadedImage &loaded, const QString &file)
{
    for (const Problem &warning : loaded.warnings)
        cliErr() << "warning: " << warning.toString() << Qt::endl;
    if (!loaded.ok()) {
        cliErr() << "quillon-cli compare: " << loaded.errorText << Qt::endl;
        return false;
    }
    cliOut() << file << ": " << inputFormatName(loaded.format) << ", " << loaded.image.dataSize()
             << " bytes of data\n";
    return true;
}

// From the lowest address either image holds to past the highest; nothing for two empty images.
QPair<quint64, quint64> wholeExtent(const MemoryImage &first, const MemoryImage &second)
{
    if (first.isEmpty() && second.isEmpty())
        return {0, 0};
    const quint64 from = first.isEmpty()    ? second.lowestAddress()
                         : second.isEmpty() ? first.lowestAddress()
                                            : qMin(first.lowestAddress(), second.lowestAddress());
    return {from, qMax(first.endAddress(), second.endAddress())};
}

void printDifferences(const ImageComparison &comparison, const QString &first, const QString &second)
{
    for (const ImageDifference &difference : comparison.differences)
        cliOut() << differenceLine(difference, first, second) << '\n';
    if (comparison.differenceCount > comparison.differences.size())
        cliOut() << "... and " << comparison.differenceCount - comparison.differences.size()
                 << " more ranges\n";
    cliOut() << "different: " << comparison.differenceCount
             << (comparison.differenceCount == 1 ? " range, " : " ranges, ") << comparison.differingBytes
             << " bytes" << Qt::endl;
}

} // namespace

// quillon-cli compare A B: whether two images hold the same bytes at the same addresses.
int runCompareCommand(const QStringList &givenArguments)
{
    CommandLine commandLine(
        QStringLiteral("compare"),
        QStringLiteral(
            "Compares two image files, each in any format (ELF, Intel HEX, Motorola S-records, binary; "
            "told by content). They are the same when they hold the same bytes at the same addresses; a "
            "byte that one holds and the other does not is a difference. The runs of addresses that differ "
            "are listed (at most 20, then a count), each with both files' bytes at its first address.\n"
            "Exit code: 0 the same, 1 different, 2 bad usage or a file that cannot be read."));
    QCommandLineParser &parser = commandLine.parser();
    parser.addPositionalArgument(QStringLiteral("A"), QStringLiteral("the first image file"));
    parser.addPositionalArgument(QStringLiteral("B"), QStringLiteral("the second image file"));
    const QCommandLineOption offsetOption(
        QStringLiteral("offset"),
        QStringLiteral("address of a binary input's first byte, hexadecimal (default 0); applies to each "
                       "binary input"),
        QStringLiteral("HEX"));
    parser.addOption(offsetOption);
    parser.addOption(QCommandLineOption(
        QStringLiteral("range"),
        QStringLiteral(
            "compare only from START up to END (both hexadecimal; END is the first address past the "
            "range): --range START END"),
        QStringLiteral("START END")));

    std::optional<QPair<quint64, quint64>> range;
    if (const std::optional<int> exitCode = commandLine.parseWithRange(givenArguments, &range))
        return *exitCode;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return commandLine.usageError(QStringLiteral("нужны два файла, A и B"));
    ImageLoadOptions options;
    if (!readHexOption(parser, offsetOption, options.binaryOffset))
        return commandLine.usageError(notHexadecimalText(parser, offsetOption));

    LoadedImage images[2];
    for (int i = 0; i < 2; ++i) {
        images[i] = loadImageFile(files.at(i), options);
        if (!reportLoaded(images[i], files.at(i)))
            return CliExit::Usage;
    }
    const MemoryImage &first = images[0].image;
    const MemoryImage &second = images[1].image;
    const QPair<quint64, quint64> compared = range.value_or(wholeExtent(first, second));
    const ImageComparison comparison =
        compareImages(first, second, compared.first, compared.second, ListedDifferences);
    if (comparison.same()) {
        cliOut() << "same: " << comparison.sameBytes << " bytes at the same addresses";
        if (range)
            cliOut() << " in " << HexText::address(compared.first) << '-'
                     << HexText::address(compared.second - 1);
        cliOut() << Qt::endl;
        return CliExit::Success;
    }
    printDifferences(comparison, files.at(0), files.at(1));
    return CliExit::Failed;
}
