#include <QtTest>

#include "sourcefiles.h"
#include "testfiles.h"

using TestFiles::writeFile;

namespace {

QByteArray hexLines(int count)
{
    QByteArray content;
    for (int i = 0; i < count; ++i)
        content += ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
    return content;
}

} // namespace

class SourceFilesTest : public QObject {
    Q_OBJECT

private slots:
    void sniffsIntelHex_data();
    void sniffsIntelHex();
    void unreadableFileIsNotIntelHex();
    void listsNestedFilesByPattern();
    void listsNothingForMissingOrEmptyDirectory();
    void doesNotFollowDirectoryLinks();
};

void SourceFilesTest::sniffsIntelHex_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("intelHex");
    QTest::newRow("empty file") << QByteArray() << true;
    QTest::newRow("one record, no terminator") << QByteArray(":00000001FF") << true;
    QTest::newRow("records") << hexLines(5) + ":00000001FF\n" << true;
    QTest::newRow("lone colon") << QByteArray(":") << true;
    QTest::newRow("blank second line") << hexLines(1) + "\n" + hexLines(3) << false;
    QTest::newRow("blank second line, CRLF") << hexLines(1) + "\r\n" + hexLines(3) << false;
    QTest::newRow("binary") << QByteArray("\x00\x20\x00\x20\x91\x01\x00\x08", 8) << false;
    QTest::newRow("leading blank") << QByteArray(" :00000001FF\n") << false;
    QTest::newRow("twentieth line bad") << hexLines(19) + "xx\n" << false;
    QTest::newRow("twenty-first line bad") << hexLines(20) + "not hex\n" << true;
    QTest::newRow("twenty-first line blank") << hexLines(20) + "\n\n" << true;
    QTest::newRow("long first line") << ":" + QByteArray(100000, 'A') + "\n" + hexLines(2) << true;
    QTest::newRow("long line hides a bad one") << ":" + QByteArray(10000, 'A') + "\nbad\n" << false;
    QTest::newRow("CR only line ends") << QByteArray(":00\r:00\rbad\r") << true;
}

void SourceFilesTest::sniffsIntelHex()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, intelHex);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("piece.hex"));
    QVERIFY(writeFile(path, content));
    QCOMPARE(isIntelHexFile(path), intelHex);
}

void SourceFilesTest::unreadableFileIsNotIntelHex()
{
    QTemporaryDir dir;
    QVERIFY(!isIntelHexFile(dir.filePath(QStringLiteral("missing.hex"))));
    QVERIFY(!isIntelHexFile(dir.path()));
}

void SourceFilesTest::listsNestedFilesByPattern()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char *name : {"a.bin", "b.hex", "sub/c.bin", "sub/deeper/d.bin", "sub/deeper/LoraMAC_eu.bin",
                             "x_LoraMAC.hex", "notbin.bin.txt", "upper.BIN"})
        QVERIFY(writeFile(root + QLatin1Char('/') + QLatin1String(name), "x"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/folder.bin")));

    QStringList bins = listSourceFiles(root, QStringLiteral("*.bin"));
    bins.sort();
    QCOMPARE(bins, (QStringList{root + "/a.bin", root + "/sub/c.bin", root + "/sub/deeper/LoraMAC_eu.bin",
                                root + "/sub/deeper/d.bin", root + "/upper.BIN"}));
    QStringList loraMac = listSourceFiles(root, QStringLiteral("*LoraMAC**.bin"));
    QCOMPARE(loraMac, QStringList{root + "/sub/deeper/LoraMAC_eu.bin"});
    QStringList hex = listSourceFiles(root, QStringLiteral("*.hex"));
    hex.sort();
    QCOMPARE(hex, (QStringList{root + "/b.hex", root + "/x_LoraMAC.hex"}));
}

void SourceFilesTest::listsNothingForMissingOrEmptyDirectory()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("here.bin")), "x"));
    QVERIFY(QDir::setCurrent(dir.path()));
    QCOMPARE(listSourceFiles(QString(), QStringLiteral("*.bin")), QStringList());
    QCOMPARE(listSourceFiles(QStringLiteral("Enter Path..->"), QStringLiteral("*.bin")), QStringList());
    QCOMPARE(listSourceFiles(dir.filePath(QStringLiteral("missing")), QStringLiteral("*.bin")),
             QStringList());
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("empty"))));
    QCOMPARE(listSourceFiles(dir.filePath(QStringLiteral("empty")), QStringLiteral("*.bin")), QStringList());
}

void SourceFilesTest::doesNotFollowDirectoryLinks()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(writeFile(root + QStringLiteral("/elsewhere/far.bin"), "x"));
    QVERIFY(writeFile(root + QStringLiteral("/scan/near.bin"), "x"));
    QVERIFY(QFile::link(root + QStringLiteral("/elsewhere"), root + QStringLiteral("/scan/link")));
    // A loop back to the scanned directory must not make the scan endless either.
    QVERIFY(QFile::link(root + QStringLiteral("/scan"), root + QStringLiteral("/scan/loop")));
    QCOMPARE(listSourceFiles(root + QStringLiteral("/scan"), QStringLiteral("*.bin")),
             QStringList{root + "/scan/near.bin"});
}

QTEST_GUILESS_MAIN(SourceFilesTest)
#include "tst_sourcefiles.moc"
