#include <QtTest>

#include "imagebuilder.h"
#include "imagelimits.h"
#include "imagepiece.h"
#include "offsetparser.h"
#include "pieceoverlap.h"
#include "scripteddialogs.h"
#include "smallfilesystem.h"
#include "testfiles.h"

using namespace TestFiles;

namespace {

// A piece as the planners open it.
ImagePiece opened(const QString &path)
{
    qint64 budget = LargestImageSize;
    return openImagePiece(path, budget).value();
}

// Commits the image, telling `reporter` what went wrong as the window and quillon-cli do.
bool commitTo(const ImageBuilder &image, const QString &dir, const QString &name, Reporter &reporter)
{
    const Result<QString> written = image.commit(dir, name);
    for (const Problem &problem : written.problems())
        reportProblem(reporter, problem);
    return written.ok();
}

// A piece held in memory.
ImagePiece held(const QString &name, const QByteArray &bytes)
{
    ImagePiece piece;
    piece.sourcePath = name;
    piece.fileSize = bytes.size();
    piece.held = bytes;
    return piece;
}

} // namespace

class ImageWriterTest : public QObject {
    Q_OBJECT

private slots:
    void parsesOffsets_data();
    void parsesOffsets();

    void checksOverlap_data();
    void checksOverlap();
    void formatsRanges();

    void placesPiecesWithZeroGaps();
    void replacesALongerExistingImage();
    void laysOverlappingPiecesInOrder();
    void judgesIntelHexAsTheConverterDoes_data();
    void judgesIntelHexAsTheConverterDoes();
    void reportsAMissingSource();
    void reportsAMissingDirectoryAndKeepsTheOldImage();
    void failedCommitLeavesNoTemporaryFile();
    void fullDiskKeepsTheOldImage_data();
    void fullDiskKeepsTheOldImage();
};

void ImageWriterTest::parsesOffsets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("value");
    QTest::newRow("empty") << "" << true << qint64(0);
    QTest::newRow("blanks") << "  " << true << qint64(0);
    QTest::newRow("plain") << "8000" << true << qint64(0x8000);
    QTest::newRow("prefixed") << "0x20000" << true << qint64(0x20000);
    QTest::newRow("upper prefix") << "0X1f" << true << qint64(0x1F);
    QTest::newRow("mixed case") << "aBcD" << true << qint64(0xABCD);
    QTest::newRow("surrounding blanks") << " 0x40 " << true << qint64(0x40);
    QTest::newRow("largest") << "7FFFFFFF" << true << qint64(0x7FFFFFFF);
    QTest::newRow("too large") << "80000000" << false << qint64(0);
    QTest::newRow("prefix only") << "0x" << false << qint64(0);
    QTest::newRow("not hex") << "80g0" << false << qint64(0);
    QTest::newRow("decimal suffix") << "100h" << false << qint64(0);
    QTest::newRow("negative") << "-10" << false << qint64(0);
    QTest::newRow("plus") << "+10" << false << qint64(0);
    QTest::newRow("inner blank") << "80 00" << false << qint64(0);
}

void ImageWriterTest::parsesOffsets()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, value);
    const std::optional<qint64> offset = parseOffset(text);
    QCOMPARE(offset.has_value(), valid);
    if (valid)
        QCOMPARE(*offset, value);
}

void ImageWriterTest::checksOverlap_data()
{
    QTest::addColumn<qint64>("firstOffset");
    QTest::addColumn<qint64>("firstSize");
    QTest::addColumn<qint64>("secondOffset");
    QTest::addColumn<qint64>("secondSize");
    QTest::addColumn<bool>("apart");
    QTest::newRow("touching after") << qint64(0) << qint64(0x100) << qint64(0x100) << qint64(0x10) << true;
    QTest::newRow("touching before") << qint64(0x100) << qint64(0x10) << qint64(0) << qint64(0x100) << true;
    QTest::newRow("gap after") << qint64(0) << qint64(0x100) << qint64(0x8000) << qint64(0x10) << true;
    QTest::newRow("gap before") << qint64(0x8000) << qint64(0x10) << qint64(0) << qint64(0x100) << true;
    QTest::newRow("second starts inside")
        << qint64(0) << qint64(0x100) << qint64(0x80) << qint64(0x100) << false;
    QTest::newRow("second ends inside")
        << qint64(0x80) << qint64(0x100) << qint64(0) << qint64(0x81) << false;
    QTest::newRow("one byte over after") << qint64(0) << qint64(0x100) << qint64(0xFF) << qint64(1) << false;
    QTest::newRow("second covers first")
        << qint64(0x10) << qint64(0x10) << qint64(0) << qint64(0x100) << false;
    QTest::newRow("same place") << qint64(0x10) << qint64(0x10) << qint64(0x10) << qint64(0x10) << false;
    QTest::newRow("empty first inside") << qint64(0x10) << qint64(0) << qint64(0) << qint64(0x100) << true;
    QTest::newRow("empty second inside") << qint64(0) << qint64(0x100) << qint64(0x10) << qint64(0) << true;
}

void ImageWriterTest::checksOverlap()
{
    QFETCH(qint64, firstOffset);
    QFETCH(qint64, firstSize);
    QFETCH(qint64, secondOffset);
    QFETCH(qint64, secondSize);
    QFETCH(bool, apart);
    QCOMPARE(checkPieceOverlap(firstOffset, firstSize, secondOffset, secondSize), apart);
    // The order of the two pieces does not matter.
    QCOMPARE(checkPieceOverlap(secondOffset, secondSize, firstOffset, firstSize), apart);
}

void ImageWriterTest::formatsRanges()
{
    QCOMPARE(formatPieceRange(0, 0x8000), QStringLiteral("0x0-0x7FFF"));
    QCOMPARE(formatPieceRange(0x8000, 1), QStringLiteral("0x8000-0x8000"));
    QCOMPARE(formatPieceRange(0x8000, 0), QStringLiteral("0x8000"));
}

void ImageWriterTest::placesPiecesWithZeroGaps()
{
    QTemporaryDir dir;
    const QByteArray a = pattern(300, 1);
    const QByteArray b = pattern(77, 2);
    ScriptedDialogs reporter;
    ImageBuilder image;
    image.placePiece(opened(write(dir.path(), QStringLiteral("a.bin"), a)), 0);
    image.placePiece(opened(write(dir.path(), QStringLiteral("b.bin"), b)), 0x1000);
    QCOMPARE(image.size(), qint64(0x1000 + 77));
    QVERIFY(commitTo(image, dir.path(), QStringLiteral("out.bin"), reporter));
    const QByteArray out = read(dir.filePath(QStringLiteral("out.bin")));
    QCOMPARE(out.size(), 0x1000 + 77);
    QCOMPARE(out, layout({{0, a}, {0x1000, b}}));
    QCOMPARE(out, image.contents());
    QVERIFY(reporter.records.isEmpty());
}

void ImageWriterTest::replacesALongerExistingImage()
{
    QTemporaryDir dir;
    const QString target = write(dir.path(), QStringLiteral("out.bin"), QByteArray(5000, '\x77'));
    const QByteArray a = pattern(100, 3);
    ScriptedDialogs reporter;
    ImageBuilder image;
    image.placePiece(opened(write(dir.path(), QStringLiteral("a.bin"), a)), 0x10);
    QVERIFY(commitTo(image, dir.path(), QStringLiteral("out.bin"), reporter));
    QCOMPARE(read(target), layout({{0x10, a}}));
}

void ImageWriterTest::laysOverlappingPiecesInOrder()
{
    QTemporaryDir dir;
    ScriptedDialogs reporter;
    ImageBuilder image;
    const QByteArray a = pattern(0x100, 4);
    const QByteArray b = pattern(0x100, 5);
    image.placePiece(held(QStringLiteral("a"), a), 0x40);
    image.placePiece(held(QStringLiteral("b"), b), 0);
    QVERIFY(commitTo(image, dir.path(), QStringLiteral("out.bin"), reporter));
    QCOMPARE(read(dir.filePath(QStringLiteral("out.bin"))), layout({{0x40, a}, {0, b}}));
}

void ImageWriterTest::judgesIntelHexAsTheConverterDoes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("intelHex");
    QTest::newRow("hex crlf") << QByteArray(":0400000001020304F2\r\n:00000001FF\r\n") << true;
    QTest::newRow("hex without end-of-file record") << QByteArray(":0100000000FF\n") << true;
    QTest::newRow("blank line between records") << QByteArray(":0100000000FF\n\n:00000001FF\n") << true;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF:0100000000FF\n:00000001FF\n") << true;
    // The shape of a record decides, not its soundness: a damaged file is never placed as bytes.
    QTest::newRow("damaged first record") << QByteArray(":0400000001020304F3\r\n:00000001FF\r\n") << true;
    const QByteArray binary = QByteArray("\x01\x02\x03:00000001FF\x04\x05", 16) + pattern(40, 6);
    QTest::newRow("binary holding the record") << binary << false;
    // A binary that starts with a colon but whose first line is no record.
    QTest::newRow("binary starting with a colon")
        << QByteArray(":\x01\x02:00000001FF\x03\x04\x05", 17) << false;
    QTest::newRow("empty") << QByteArray() << false;
}

// Whether a piece holds Intel HEX decides whether the LoRa and Binary images refuse it; a piece that
// is not is placed byte for byte.
void ImageWriterTest::judgesIntelHexAsTheConverterDoes()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, intelHex);
    QTemporaryDir dir;
    ScriptedDialogs reporter;
    qint64 budget = LargestImageSize;
    const Result<ImagePiece> piece = openImagePiece(write(dir.path(), QStringLiteral("piece"), file), budget);
    QVERIFY(piece);
    QCOMPARE(piece->format == InputFormat::IntelHex, intelHex);
    QCOMPARE(piece->size(), qint64(file.size()));
    ImageBuilder image;
    image.placePiece(piece.value(), 0);
    QVERIFY(commitTo(image, dir.path(), QStringLiteral("out"), reporter));
    QCOMPARE(read(dir.filePath(QStringLiteral("out"))), file);
    QVERIFY(reporter.records.isEmpty());
}

void ImageWriterTest::reportsAMissingSource()
{
    QTemporaryDir dir;
    ScriptedDialogs reporter;
    const QString missing = dir.filePath(QStringLiteral("missing.bin"));
    qint64 budget = LargestImageSize;
    const Result<ImagePiece> piece = openImagePiece(missing, budget);
    QVERIFY(!piece);
    reportProblem(reporter, piece.problems().first());
    QCOMPARE(reporter.messageTexts(),
             QStringList{QStringLiteral("Не удалось открыть файл по пути: ") + missing});
    QCOMPARE(reporter.messages().first().title, QStringLiteral("Error!"));
}

void ImageWriterTest::reportsAMissingDirectoryAndKeepsTheOldImage()
{
    QTemporaryDir dir;
    ScriptedDialogs reporter;
    ImageBuilder image;
    image.placePiece(held(QStringLiteral("a"), pattern(10, 1)), 0);
    const QString missingDir = dir.filePath(QStringLiteral("nowhere"));
    QVERIFY(!commitTo(image, missingDir, QStringLiteral("out.bin"), reporter));
    QCOMPARE(reporter.messageTexts(), QStringList{QStringLiteral("Не найдена директория по пути: ") +
                                                  QDir::toNativeSeparators(missingDir)});
    QVERIFY(!QFile::exists(missingDir));
}

void ImageWriterTest::failedCommitLeavesNoTemporaryFile()
{
    QTemporaryDir dir;
    // The target name is taken by a directory: the image cannot be renamed into place.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("out.bin")));
    ScriptedDialogs reporter;
    ImageBuilder image;
    image.placePiece(held(QStringLiteral("a"), pattern(10, 1)), 0);
    QVERIFY(!commitTo(image, dir.path(), QStringLiteral("out.bin"), reporter));
    QCOMPARE(reporter.messages().size(), 1);
    QCOMPARE(reporter.messages().first().kind, MessageKind::Critical);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("out.bin")});
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("out.bin"))).isDir());
}

void ImageWriterTest::fullDiskKeepsTheOldImage_data()
{
    // A small image stays in the file's buffer until the commit, a large one is written at once:
    // both must fail without touching the old image.
    QTest::addColumn<int>("imageSize");
    QTest::newRow("buffered") << 6 * 1024;
    QTest::newRow("written through") << 64 * 1024;
}

void ImageWriterTest::fullDiskKeepsTheOldImage()
{
    QFETCH(int, imageSize);
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    SmallFileSystem disk(mountPoint, 16);
    if (!disk.isMounted())
        QSKIP("mounting a small file system needs root");
    const QByteArray oldImage = pattern(2048, 9);
    write(mountPoint, QStringLiteral("out.bin"), oldImage);
    disk.fill();

    ScriptedDialogs reporter;
    ImageBuilder image;
    image.placePiece(held(QStringLiteral("a"), pattern(imageSize, 1)), 0);
    QVERIFY(!commitTo(image, mountPoint, QStringLiteral("out.bin"), reporter));
    QCOMPARE(
        reporter.messageTexts(),
        QStringList{QStringLiteral("Не удалось записать файл по пути: %1/out.bin (нет места на устройстве)")
                        .arg(mountPoint)});
    QCOMPARE(reporter.messages().first().kind, MessageKind::Critical);
    QCOMPARE(read(mountPoint + QStringLiteral("/out.bin")), oldImage);
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("filler"), QStringLiteral("out.bin")}));
}

QTEST_GUILESS_MAIN(ImageWriterTest)
#include "tst_imagewriter.moc"
